# -DTARNWICK_SANITIZE=ON: everything built with AddressSanitizer and
# UndefinedBehaviorSanitizer, stopping at the first report.
# -DTARNWICK_FUZZ=ON (clang): the same, plus libFuzzer coverage and the
# fuzz_reader target.
option(TARNWICK_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TARNWICK_FUZZ "Build the libFuzzer target fuzz_reader (needs clang)" OFF)

if(TARNWICK_SANITIZE OR TARNWICK_FUZZ)
    set(sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_compile_options(${sanitizers})
    add_link_options(${sanitizers})
endif()
if(TARNWICK_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
        message(FATAL_ERROR "TARNWICK_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
    endif()
    add_compile_options(-fsanitize=fuzzer-no-link)
endif()
