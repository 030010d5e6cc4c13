# make run: install what is missing, build, start Tallybell.
# make test: install what is missing, build, run the whole suite in a network namespace; then
#            the same suite again built with AddressSanitizer and UndefinedBehaviorSanitizer
#            (without the benchmarks and the resource generator, which no test runs).
# make bench: install what is missing, build, run every benchmark in namespaces of their own
#             (options for the runner in BENCH_ARGS, e.g. BENCH_ARGS="--soak-seconds 600").
# make tidy: install what is missing, build, run clang-tidy's checks (.clang-tidy) over the
#            project's sources; any finding fails.
BUILD ?= build
SANITIZED ?= build-asan
JOBS ?= $(shell nproc)

.PHONY: run test build build-sanitized deps bench tidy clean

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

build-sanitized: deps
	@cmake -S . -B $(SANITIZED) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLYBELL_SANITIZE=ON \
		-DTALLYBELL_EXTRAS=OFF >/dev/null
	@cmake --build $(SANITIZED) -j $(JOBS)

run: build
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

clean:
	rm -rf $(BUILD) $(SANITIZED)
