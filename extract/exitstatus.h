// The exit statuses of velqor-extract, shared by its commands.
#pragma once

enum ExitStatus {
    Success = 0,
    Failure = 1, // a video export failed
    InputNotOpened = 2,
    UsageError = 64, // as in sysexits: EX_USAGE
    OutputNotCreated = 73, // EX_CANTCREAT
    OutputNotWritten = 74, // EX_IOERR
};
