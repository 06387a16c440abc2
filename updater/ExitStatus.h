#pragma once

// The exit statuses of vorlan-flash, the same for every command.
enum ExitStatus
{
    Success = 0,      // the flash holds the image, or a query succeeded
    UpdateFailed = 1, // the flash was changed and does not hold a complete image
    FlashDiffers = 1, // verify: the flash does not hold the image
    Refused = 2,      // nothing was done: the flash is as it was
    NoDriver = 3,     // the driver's nodes cannot be reached
    FlashBusy = 4,    // another program is updating the flash
    WrongUsage = 64   // as sysexits.h's EX_USAGE
};
