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

demo: build
	@rm -rf $(BUILD_DIR)/demo && mkdir -p $(BUILD_DIR)/demo
	@cp examples/ferromagnet/* $(BUILD_DIR)/demo/
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
