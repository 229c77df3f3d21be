# Kelvara on Debian: `make run` and `make test` are all most people need.
# Both install what is missing first (scripts/install-deps.sh).
#
#   make run          build Kelvara.exe and start it under Wine, showing the
#                     voice print of samples/voice-print.wav
#   make test         every build and every test, with a summary at the end
#   make bench        the DFT benchmarks (native)
#   make screenshot   docs/screenshot.png, taken on a private Xvfb
#   make fuzz         scripts/fuzz.sh for FUZZ_SECONDS (600)
#   make soak         scripts/soak.sh for SOAK_SECONDS (600) with SOAK_SEED (1)
#
# Build folders: build/native, build/asan, build/win64 (its Wine prefix is
# build/win64/wine). JOBS sets the build's parallelism (2).

SHELL := /bin/bash
JOBS ?= 2
FUZZ_SECONDS ?= 600
SOAK_SECONDS ?= 600
SOAK_SEED ?= 1

WIN64 := build/win64
NATIVE := build/native
TOOLCHAIN := $(CURDIR)/cmake/mingw-w64.cmake
# The sample `make run` opens, by its name under Wine (the Unix root is Z:).
SAMPLE := Z:$(subst /,\,$(CURDIR)/samples/voice-print.wav)

.PHONY: run test bench screenshot fuzz soak deps win64 native clean

deps:
	@scripts/install-deps.sh

win64: deps
	cmake -S . -B $(WIN64) -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN)
	cmake --build $(WIN64) -j $(JOBS) --target Kelvara

native: deps
	cmake -S . -B $(NATIVE)
	cmake --build $(NATIVE) -j $(JOBS)

run: win64
	@if [ -n "$$DISPLAY" ]; then \
	  echo "Starting Kelvara on $$DISPLAY (Wine desktop 'kelvara', 1024x768)"; \
	  scripts/headless.sh --use-display -- wine explorer /desktop=kelvara,1024x768 $(WIN64)/Kelvara.exe /draw '$(SAMPLE)'; \
	else \
	  echo "There is no DISPLAY: starting Kelvara on a private Xvfb instead (Ctrl-C ends it;"; \
	  echo "'make screenshot' shows what it looks like)."; \
	  scripts/headless.sh -- wine explorer /desktop=kelvara,1024x768 $(WIN64)/Kelvara.exe /draw '$(SAMPLE)'; \
	fi

test:
	@scripts/test-all.sh

bench: native
	$(NATIVE)/core_benchmarks

screenshot: deps
	cmake -S . -B $(WIN64) -DCMAKE_TOOLCHAIN_FILE=$(TOOLCHAIN)
	cmake --build $(WIN64) -j $(JOBS) --target ScreenshotTour
	mkdir -p docs
	scripts/headless.sh -- wine $(WIN64)/ScreenshotTour.exe $(CURDIR)/docs/screenshot.png '$(SAMPLE)'
	@echo "docs/screenshot.png written"

fuzz: deps
	scripts/fuzz.sh $(FUZZ_SECONDS)

soak: deps
	scripts/soak.sh $(SOAK_SECONDS) $(SOAK_SEED)

clean:
	rm -rf build
