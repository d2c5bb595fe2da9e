// The floor for a full run: reads the same input files as quelvar (the control file and every
// curve file it names) and writes a given console log to standard output with one write per
// line. Nothing is parsed or computed; what quelvar spends beyond this is its own work.
//   quelvar_floor CONSOLE_LOG      (run in the directory of the input files)
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

std::string slurp(const char* name) {
  std::string bytes;
  int fd = ::open(name, O_RDONLY);
  if (fd < 0) return bytes;
  char chunk[1024];  // the same fetch size as the tool's units
  ssize_t got;
  while ((got = ::read(fd, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<size_t>(got));
  ::close(fd);
  return bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string control = slurp("Quelvar.inp");
  // Every second record from the fourth on names a curve file.
  size_t start = 0;
  int record = 0;
  while (start < control.size()) {
    size_t end = control.find('\n', start);
    if (end == std::string::npos) end = control.size();
    std::string line = control.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ++record;
    if (record >= 4 && record % 2 == 0) slurp(line.c_str());
    start = end + 1;
  }
  const std::string log = slurp(argv[1]);
  start = 0;
  while (start < log.size()) {
    size_t end = log.find("\r\n", start);
    end = end == std::string::npos ? log.size() : end + 2;
    if (::write(1, log.data() + start, end - start) < 0) return 1;
    start = end;
  }
  return 0;
}
