# make run: install what is missing, build, start Tallybell.
# make test: install what is missing, build, run the whole suite in a network namespace; then
#            the same suite again built with AddressSanitizer and UndefinedBehaviorSanitizer
#            (without the benchmarks and the resource generator, which no test runs).
# make bench: install what is missing, build, run every benchmark in namespaces of their own
#             (options for the runner in BENCH_ARGS, e.g. BENCH_ARGS="--soak-seconds 600").
# make tidy: install what is missing, build, run clang-tidy's checks (.clang-tidy) over the
#            project's sources; any finding fails.
# make format-check: clang-format (.clang-format) finds every C++ file as committed; make format
#                    rewrites those that are not.
BUILD ?= build
SANITIZED ?= build-asan
JOBS ?= $(shell nproc)
# pipefail: make run filters the build's output and must still stop when the build fails.
SHELL := /bin/bash
.SHELLFLAGS := -o pipefail -c
SOURCES = git ls-files -z '*.cpp' '*.h'

.PHONY: run test build build-sanitized deps bench tidy format format-check clean

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

build-sanitized: deps
	@cmake -S . -B $(SANITIZED) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYBELL_SANITIZE=ON \
		-DTALLYBELL_EXTRAS=OFF >/dev/null
	@cmake --build $(SANITIZED) -j $(JOBS)

# Only the application and its horn, and no "Built target" lines when there is nothing to do.
run: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target tallybell -- --no-print-directory | \
		{ grep -v -E '^\[ *[0-9]+%\] Built target |^Consolidate compiler generated' || true; }
	@if [ -z "$${DISPLAY:-}$${WAYLAND_DISPLAY:-}" ] && [ -z "$${QT_QPA_PLATFORM:-}" ]; then \
		echo "No display found: starting Tallybell on Qt's offscreen platform."; \
		QT_QPA_PLATFORM=offscreen $(BUILD)/bin/tallybell; \
	else \
		$(BUILD)/bin/tallybell; \
	fi

test: build build-sanitized
	@scripts/test-in-netns.sh $(BUILD)
	@echo "== The suite again, under AddressSanitizer and UndefinedBehaviorSanitizer"
	@scripts/test-in-netns.sh $(SANITIZED)

bench: build
	@bench/run.sh $(BUILD) $(BENCH_ARGS)

tidy: build
	@scripts/tidy.sh $(BUILD)

format-check: deps
	@$(SOURCES) | xargs -0 clang-format --dry-run --Werror

format: deps
	@$(SOURCES) | xargs -0 clang-format -i

clean:
	rm -rf $(BUILD) $(SANITIZED)
