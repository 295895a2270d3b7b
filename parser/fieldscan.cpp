// A hand-written "%<width>d": the C library's scanning costs more than the rest of a record's
// decoding together, for no more than a few digits.
#include "fieldscan.h"

#include <cctype>

namespace FieldScan {

bool decimal(const char *&text, int width, int *value)
{
    // The same classification as the C library's, in the same locale.
    while (*text != 0 && std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    int used = 0;
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
        ++used;
    }
    int result = 0;
    int digits = 0;
    for (; used < width && *text >= '0' && *text <= '9'; ++text, ++used, ++digits)
        result = result * 10 + (*text - '0');
    if (digits == 0)
        return false;
    *value = negative ? -result : result;
    return true;
}

} // namespace FieldScan
