// libFuzzer entry: any byte string given to the .xls reader must give a value
// or an error, never a crash, a hang or an unbounded allocation.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "core/xls/cfb.h"
#include "core/xls/crypto.h"
#include "core/xls/xls_file.h"

using namespace gp::xls;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::span<const uint8_t> bytes(data, size);

    auto cf = readCompoundFile(bytes);
    if (cf.ok()) {
        // Whatever we could read, we must be able to write and read back.
        auto again = readCompoundFile(writeCompoundFile(cf.value()));
        if (!again.ok())
            std::abort();
        if (const CfbEntry* wb = findChild(cf->root, u"Workbook")) {
            std::vector<uint8_t> s = wb->data;
            (void)detectEncryption(s);
            (void)decryptWorkbookStream(s, "password");
        }
    }

    // The raw bytes as a Workbook stream: reaches the FILEPASS parser directly.
    {
        std::vector<uint8_t> s(bytes.begin(), bytes.end());
        (void)detectEncryption(s);
        (void)decryptWorkbookStream(s, "abc");
    }

    (void)readXls(bytes, "password");
    return 0;
}
