# The two commands a new machine needs: `make run` and `make test`.
BUILD_DIR ?= build
SANITIZE_DIR ?= build-sanitize
BENCH_DIR ?= build-bench
JOBS ?= $(shell nproc)
CMAKE_GEN := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: deps build run test test-sanitize bench fuzz format clean

deps:
	./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	./$(BUILD_DIR)/src/app/sarvo-cli $(or $(ARGS),serve)

test: build
	cd $(BUILD_DIR) && ctest --output-on-failure -j $(JOBS) --timeout 600

test-sanitize: deps
	cmake -S . -B $(SANITIZE_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DSARVO_SANITIZE=ON
	cmake --build $(SANITIZE_DIR) -j $(JOBS)
	cd $(SANITIZE_DIR) && \
	  ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest --output-on-failure -j $(JOBS) --timeout 900 --label-exclude slow

bench: deps
	./scripts/install-deps.sh nginx-light wrk valgrind imagemagick libvips-tools time zip
	cmake -S . -B $(BENCH_DIR) $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DSARVO_BUILD_BENCH=ON -DSARVO_BUILD_TESTS=OFF
	cmake --build $(BENCH_DIR) -j $(JOBS)
	./bench/run-all.sh $(BENCH_DIR)
	./bench/http/http_vs_nginx.sh $(BENCH_DIR)
	./bench/thumbs/pictorn_vs_convert.sh $(BENCH_DIR)
	./bench/thumbs/thumbnail_pages.sh $(BENCH_DIR)
	./bench/site/listing_vs_nginx.sh $(BENCH_DIR)
	./bench/site/zip_vs_infozip.sh $(BENCH_DIR)
	./bench/site/upload_vs_cp.sh $(BENCH_DIR)
	python3 ./bench/site/realtime_streams.py $(BENCH_DIR)
	./$(BENCH_DIR)/bench/services/chat_room_load ./$(BENCH_DIR)/src/app/sarvo-cli
	python3 ./bench/services/community.py $(BENCH_DIR)
	python3 ./bench/services/guestbook_posts.py $(BENCH_DIR)

fuzz:
	./scripts/fuzz.sh $(or $(FUZZ_SECONDS),60)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD_DIR) $(SANITIZE_DIR) $(BENCH_DIR)
