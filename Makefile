# Two set-up commands:
#   make run   Release build, then the example's first experiment into out/
#   make test  Debug build with AddressSanitizer and UndefinedBehaviorSanitizer,
#              then every test through ctest, then a short fixed-seed run of
#              every fuzz target (clang 14, build/fuzz)
# `make fuzz` fuzzes every target for FUZZ_SECONDS (default 60) seconds each
# (scripts/fuzz.sh; the seeds are in fuzz/corpus/).
# `make memcheck` builds the programs without sanitizers (build/memcheck) and
# runs them under valgrind memcheck (ctest -L memcheck): any memory error or
# leaked block fails it.
# `make bench` runs the benchmark cases (see bench/README.md).
# `make lint` runs clang-tidy and cppcheck over our code (scripts/lint.sh);
# any finding fails it.
# `make model NAME=<name>` builds build/release/gen-<name> from
# models/<name>/<name>.san (see docs/language.md).

JOBS ?= $(shell nproc 2>/dev/null || echo 2)
ARGS ?= -P out/ -Nexp1 -B0

.PHONY: run test memcheck fuzz deps deps-build deps-lint build-release build-debug bench lint model clean

# Installs missing Debian packages (as root), or names the install line.
deps-build:
	@./scripts/deps.sh build

deps:
	@./scripts/deps.sh test

deps-lint:
	@./scripts/deps.sh lint

build-release: deps-build
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DSSG_TESTS=OFF
	cmake --build build/release -j $(JOBS)

# The experiment's files are then solved: the prefix is taken from the -P and
# -N options of ARGS.
run: build-release
	@if [ -x build/release/gen ]; then \
	  mkdir -p out && ./build/release/gen $(ARGS) && \
	  set -- $(ARGS) && path= && name= && \
	  while [ $$# -gt 0 ]; do \
	    case "$$1" in \
	      -P) path=$${2:-}; shift ;; -P*) path=$${1#-P} ;; \
	      -N) name=$${2:-}; shift ;; -N*) name=$${1#-N} ;; \
	    esac; \
	    [ $$# -gt 0 ] && shift; \
	  done; \
	  echo; echo "== ssg-solve $$path$$name"; \
	  ./build/release/ssg-solve "$$path$$name"; \
	else \
	  echo "The example executable is not built yet: nothing runs."; \
	fi

build-debug: deps
	cmake -S . -B build/debug -DCMAKE_BUILD_TYPE=Debug -DSSG_SANITIZE=ON -DSSG_TESTS=ON
	cmake --build build/debug -j $(JOBS)

test: build-debug
	cd build/debug && ctest --output-on-failure -j $(JOBS)
	JOBS=$(JOBS) ./scripts/fuzz.sh smoke

FUZZ_SECONDS ?= 60
fuzz: deps
	JOBS=$(JOBS) FUZZ_SECONDS=$(FUZZ_SECONDS) ./scripts/fuzz.sh run $(TARGET)

# Valgrind cannot run code built with AddressSanitizer: a build of its own,
# with only the programs the memcheck tests run (target memcheck-programs).
memcheck: deps
	cmake -S . -B build/memcheck -DCMAKE_BUILD_TYPE=Debug -DSSG_SANITIZE=OFF -DSSG_TESTS=OFF \
	  -DSSG_MEMCHECK=ON
	cmake --build build/memcheck -j $(JOBS) --target memcheck-programs
	cd build/memcheck && ctest -L memcheck --output-on-failure -j $(JOBS)

bench:
	./bench/run.sh $(BENCH_ARGS)

lint: deps-lint
	JOBS=$(JOBS) ./scripts/lint.sh

model: deps-build
	@if [ -z "$(NAME)" ] || [ ! -f models/$(NAME)/$(NAME).san ]; then \
	  echo "usage: make model NAME=<name>, with the model file models/<name>/<name>.san"; \
	  exit 1; \
	fi
	cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DSSG_TESTS=OFF
	cmake --build build/release -j $(JOBS) --target gen-$(NAME)

clean:
	rm -rf build
