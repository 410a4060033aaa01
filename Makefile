# Quarbtro. The quick start is `make run` (watch the intro) and `make test` (run every test);
# both install the Debian packages they need when run as root, and say what to install
# otherwise.

BUILD ?= build
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)
QUARBTRO_WERROR ?= OFF

.PHONY: all build run test unit bench assets goldens frames-sheet fuzz song-report configure \
        install clean conformance

all: build

configure:
	@cmake -S . -B $(BUILD) -DQUARBTRO_WERROR=$(QUARBTRO_WERROR) > $(BUILD).configure.log 2>&1 \
	  || { cat $(BUILD).configure.log; exit 1; }

build:
	@scripts/deps.sh build
	@$(MAKE) --no-print-directory configure
	@cmake --build $(BUILD) -j $(JOBS)

run:
	@scripts/deps.sh run
	@$(MAKE) --no-print-directory build
	@scripts/run-intro.sh $(BUILD)

test:
	@scripts/deps.sh test
	@$(MAKE) --no-print-directory build
	@cd $(BUILD) && ctest --output-on-failure

# Installs the intro (bin/quarbtro starts it through its launcher), the tools and their man
# pages under PREFIX; DESTDIR, when given, is put before every path (for staging a package).
install: build
	@DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"

# The unit tests alone: no servers, a few seconds.
unit: build
	@cd $(BUILD) && ctest --output-on-failure -L unit

# Measures the intro and the player (several minutes; best on a quiet machine), prints the
# tables and writes them into docs/benchmarks.md.
bench:
	@scripts/deps.sh bench
	@$(MAKE) --no-print-directory build
	@scripts/bench.sh $(BUILD)

# Redraws the four images into assets/images/ and regenerates the song, assets/song.xm (all
# committed; unit tests check that they match).
assets: build
	@$(BUILD)/make-images assets/images
	@ls -l assets/images
	@$(BUILD)/make-song assets/song.xm

# Redraws the golden frames the picture tests compare with (tests/pictures/golden/), on purpose:
# look at them before committing.
goldens: build
	@scripts/frames.sh goldens $(BUILD)

# Redraws docs/frames.png, the contact sheet of the intro (one frame a second).
frames-sheet: build
	@scripts/frames.sh sheet $(BUILD)

# The XM loader's fuzz target (clang, ASan, UBSan) in $(BUILD)-fuzz, for FUZZ_SECONDS.
FUZZ_SECONDS ?= 600
fuzz:
	@scripts/deps.sh test
	@scripts/fuzz.sh $(BUILD)-fuzz $(FUZZ_SECONDS)

# Measures the song as the player renders it, next to 23 game modules, with its goals, and
# rewrites docs/song.md and its pictures (docs/song.png, docs/song-parts.png).
song-report:
	@scripts/deps.sh report
	@$(MAKE) --no-print-directory build
	@scripts/song-report.sh $(BUILD)

# How closely the tools' FT2 profile follows FastTracker 2: the XM test cases of a leading player
# rendered by xmrender --profile ft2 and two established players, and judged (a report of some
# minutes, not part of `make test`). The harness lives beside the checkout, in CONFORMANCE.
CONFORMANCE ?= ../shared/tools/xm-conformance
conformance: build
	@if [ -x "$(CONFORMANCE)/run.sh" ]; then \
	  XMRENDER_ARGS="--profile ft2" "$(CONFORMANCE)/run.sh" . ; \
	else \
	  echo "make conformance: no harness at $(CONFORMANCE)/run.sh; put the shared folder (tools/xm-conformance"; \
	  echo "and conformance/openmpt-xm) beside this checkout, or say where: make conformance CONFORMANCE=DIR"; \
	  exit 2; \
	fi

clean:
	rm -rf $(BUILD) $(BUILD).configure.log
