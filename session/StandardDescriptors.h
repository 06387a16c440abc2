#pragma once

// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed. Started with one of them
// closed, the process would hand that number to the next file it opens (the display connection,
// the flash node), and its first line of output would go into that file.
void openClosedStandardDescriptors();
