# The Windows benchmark, run under Wine by scripts/run-windows-tests.sh.
add_executable(win32_answer_bench ${CMAKE_CURRENT_LIST_DIR}/win32_answer_bench.cpp)
target_link_libraries(win32_answer_bench PRIVATE qzlink qzplatform Threads::Threads)
