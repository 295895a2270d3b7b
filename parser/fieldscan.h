// Whole numbers of the record's text fields, read exactly as sscanf's "%<width>d" reads them.
#pragma once

namespace FieldScan {

// One "%<width>d" conversion at text, which is advanced past what it reads: leading blanks are
// skipped without counting, then an optional sign and digits, width characters at most. False
// when no digit came; sscanf then stops, and so must a caller reading several numbers.
bool decimal(const char *&text, int width, int *value);

} // namespace FieldScan
