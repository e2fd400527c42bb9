# Quick start: `make demo` and `make test` (see README.md).
PREFIX ?= /usr/local
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all build deps demo test test-unit test-asan bench fuzz-markup fuzz-script fuzz-model fuzz-project install clean

all: build

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS)

build: $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

deps:
	@bash .ci/install-deps

DEMO = $(BUILD)/demo

demo: deps build
	@echo "== installed targets"
	$(BUILD)/bin/ardvin-cli targets
	@echo "== example project"
	$(BUILD)/bin/ardvin-cli info examples/shop.arv
	@mkdir -p $(DEMO) && rm -f $(DEMO)/shop.db
	$(BUILD)/bin/ardvin-cli generate examples/shop.arv --target sqlite3 -o $(DEMO)/shop-sqlite3.sql
	$(BUILD)/bin/ardvin-cli generate examples/shop.arv --target postgresql15 -o $(DEMO)/shop-postgresql15.sql
	@echo "== first lines of $(DEMO)/shop-sqlite3.sql"
	@head -n 25 $(DEMO)/shop-sqlite3.sql
	@echo "== first lines of $(DEMO)/shop-postgresql15.sql"
	@head -n 25 $(DEMO)/shop-postgresql15.sql
	@echo "== creating the SQLite database $(DEMO)/shop.db"
	$(BUILD)/bin/ardvin-cli generate examples/shop.arv --target sqlite3 --execute sqlite://$(abspath $(DEMO))/shop.db 2> $(DEMO)/shop-sqlite3.log || { cat $(DEMO)/shop-sqlite3.log; exit 1; }
	@echo "(the statements run are logged in $(DEMO)/shop-sqlite3.log)"
	@echo "== tables of $(DEMO)/shop.db"
	$(BUILD)/bin/ardvin-cli list --target sqlite3 --url sqlite://$(abspath $(DEMO))/shop.db

test: deps
	$(MAKE) test-unit
	$(MAKE) test-asan

test-unit: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

$(ASAN_BUILD)/build.ninja:
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DARDVIN_SANITIZE=ON -DARDVIN_BENCH=OFF $(CMAKE_FLAGS)

test-asan: $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

bench: build
	@for b in $(BUILD)/bin/bench_*; do echo "== $$b"; $$b; done

# Runs a harness for FUZZ_SECONDS on a copy of its seed corpus (fuzz-markup: the markup codec;
# fuzz-script: the SQL script splitter and script classes; fuzz-model: loading saved models;
# fuzz-project: opening, saving and reopening project files).
# Findings are written to $(FUZZ_BUILD)/ as crash-*, timeout-* or leak-* files.
fuzz-markup fuzz-script fuzz-model fuzz-project: fuzz-%:
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DARDVIN_FUZZ=ON -DARDVIN_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_$*
	@corpus=$$(mktemp -d) && cp fuzz/corpus/$*/* "$$corpus"/ && \
	  $(FUZZ_BUILD)/bin/fuzz_$* -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	    -artifact_prefix=$(FUZZ_BUILD)/ "$$corpus"; rc=$$?; rm -rf "$$corpus"; exit $$rc

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD)
