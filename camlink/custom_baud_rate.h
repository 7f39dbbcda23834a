// Baud rates without a Bxxx constant (14400), set through the kernel's
// termios2 interface. Kept apart because <asm/termbits.h> cannot be included
// together with <termios.h>.
#pragma once

#include <cstdint>

namespace qzlink {

// Sets input and output speed of the terminal fd to baudRate. Returns 0 or an
// errno value.
int SetCustomBaudRate(int fd, uint32_t baudRate);

// The output speed of the terminal fd in baud, or 0 when it cannot be read.
uint32_t ReadOutputBaudRate(int fd);

}  // namespace qzlink
