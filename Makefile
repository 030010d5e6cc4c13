# make run: install what is missing, build, start Tallybell.
# make test: install what is missing, build, run the whole suite in a network namespace.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: run test build deps bench clean

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -z "$${DISPLAY:-}$${WAYLAND_DISPLAY:-}" ] && [ -z "$${QT_QPA_PLATFORM:-}" ]; then \
		echo "No display found: starting Tallybell on Qt's offscreen platform."; \
		QT_QPA_PLATFORM=offscreen $(BUILD)/bin/tallybell; \
	else \
		$(BUILD)/bin/tallybell; \
	fi

test: build
	@scripts/test-in-netns.sh $(BUILD)

clean:
	rm -rf $(BUILD)
