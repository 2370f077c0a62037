// Feeds arbitrary request targets to the simulator's request parsing and
// checks the parse's own promises: a status the error page can use, an
// upper-case 16-digit ROM id and a resolution of 9 to 12 bits on success, and
// the same result when the accepted request is written out plainly again.

#include "readrequest.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using kestrin::sim::ReadRequest;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool isUpperHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view target(reinterpret_cast<const char *>(data), size);
    const ReadRequest request = ReadRequest::parse(target);

    check(request.ok() == (request.status() == 200));
    if (!request.ok()) {
        check(request.status() == 400 || request.status() == 404);
        check(!request.problem().empty());
        return 0;
    }

    check(request.romId().size() == 16);
    for (const char c : request.romId())
        check(isUpperHex(c));
    check(request.resolution() >= 9 && request.resolution() <= 12);

    std::string plain(ReadRequest::Path);
    plain += '?';
    plain += ReadRequest::Key;
    plain += "={" + request.romId() + ',' + std::to_string(request.resolution()) + '}';
    const ReadRequest again = ReadRequest::parse(plain);
    check(again.ok() && again.romId() == request.romId() && again.resolution() == request.resolution());
    return 0;
}
