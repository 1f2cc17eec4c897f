# SPDX-FileCopyrightText: 2026 The tarnwick authors
# SPDX-License-Identifier: MIT

# -DTARNWICK_SANITIZE=ON (or address): everything built with AddressSanitizer
# and UndefinedBehaviorSanitizer, stopping at the first report.
# -DTARNWICK_SANITIZE=thread: ThreadSanitizer instead.
# -DTARNWICK_FUZZ=ON (clang): ASan and UBSan, plus libFuzzer coverage and the
# fuzz_reader target.
set(TARNWICK_SANITIZE OFF CACHE STRING "Sanitizers: OFF, ON or address (ASan and UBSan), thread (TSan)")
option(TARNWICK_FUZZ "Build the libFuzzer target fuzz_reader (needs clang)" OFF)

if(TARNWICK_SANITIZE STREQUAL "thread")
    set(sanitizers -fsanitize=thread -fno-omit-frame-pointer)
elseif(TARNWICK_SANITIZE OR TARNWICK_FUZZ)
    set(sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
endif()
if(sanitizers)
    add_compile_options(${sanitizers})
    add_link_options(${sanitizers})
endif()
if(TARNWICK_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "TARNWICK_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
