// The data protection API, for the current user only: the blob opens under
// the same Windows account (on this machine, or wherever its profile roams).
#include <windows.h>

#include <wincrypt.h>

#include "boxconfig/StoredPassword.h"

namespace {

class CUserPasswordSeal : public CPasswordSeal {
public:
    bool Seal(const std::string& plain, std::string* sealed) override { return Run(plain, sealed, true); }
    bool Open(const std::string& sealed, std::string* plain) override { return Run(sealed, plain, false); }

private:
    static bool Run(const std::string& in, std::string* out, bool seal)
    {
        DATA_BLOB input = {static_cast<DWORD>(in.size()), reinterpret_cast<BYTE*>(const_cast<char*>(in.data()))};
        DATA_BLOB output = {0, nullptr};
        // Never a prompt: the engine may run with nobody to answer it.
        const BOOL done =
            seal ? CryptProtectData(&input, L"FTP Sendora", nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                                    &output)
                 : CryptUnprotectData(&input, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &output);
        if (!done)
            return false;
        out->assign(reinterpret_cast<const char*>(output.pbData), output.cbData);
        SecureZeroMemory(output.pbData, output.cbData);
        LocalFree(output.pbData);
        return true;
    }
};

}  // namespace

CPasswordSeal& UserPasswordSeal()
{
    static CUserPasswordSeal seal;
    return seal;
}
