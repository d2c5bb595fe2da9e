# The two commands of the README: `make demo` and `make test`. Everything else is a convenience.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE ?= cmake
CTEST ?= ctest

.PHONY: all build demo test test-sanitize exhaustive bench coverage clean

all: build

$(BUILD_DIR)/CMakeCache.txt:
	$(CMAKE) -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release

build: $(BUILD_DIR)/CMakeCache.txt
	$(CMAKE) --build $(BUILD_DIR) -j $(JOBS)

demo: $(BUILD_DIR)/CMakeCache.txt
	$(CMAKE) --build $(BUILD_DIR) --target quelvar -j $(JOBS)
	@rm -rf $(BUILD_DIR)/demo && mkdir -p $(BUILD_DIR)/demo
	@cp examples/ferromagnet/Quelvar.inp examples/ferromagnet/*.dat $(BUILD_DIR)/demo/
	@echo "== quelvar run in $(BUILD_DIR)/demo (console log) =="
	@cd $(BUILD_DIR)/demo && ../quelvar; status=$$?; \
	  echo "== exit status $$status =="; \
	  if [ -f Quelvar.dat ]; then echo "== Quelvar.dat =="; cat Quelvar.dat; fi

test: build
	cd $(BUILD_DIR) && $(CTEST) --output-on-failure -j $(JOBS) -LE exhaustive

test-sanitize:
	$(CMAKE) -S . -B $(SANITIZE_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELVAR_SANITIZE=ON -DQUELVAR_BENCH=OFF
	$(CMAKE) --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && $(CTEST) --output-on-failure -j $(JOBS) -LE exhaustive

exhaustive: build
	cd $(BUILD_DIR) && $(CTEST) --output-on-failure -L exhaustive

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR)

bench: build
	python3 bench/full_run.py $(BUILD_DIR)
	@for b in $(BUILD_DIR)/*_bench; do [ -x "$$b" ] && "$$b" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true; done

# Line and branch coverage of the tests, summarised from gcov's data by tools/coverage_summary.py.
# The counters are cleared first, so that the figures are those of this run's tests alone.
coverage:
	$(CMAKE) -S . -B build-coverage -DCMAKE_BUILD_TYPE=Debug -DQUELVAR_COVERAGE=ON -DQUELVAR_BENCH=OFF
	$(CMAKE) --build build-coverage -j $(JOBS)
	find build-coverage -name '*.gcda' -delete
	cd build-coverage && $(CTEST) -j $(JOBS) -LE exhaustive >/dev/null || true
	python3 tools/coverage_summary.py build-coverage src/recordio src/runtime src/driver src/numeric src/output
