#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/NewFile.h"
#include "unit/TempDir.h"

#include <aclapi.h>
#include <sddl.h>
#include <windows.h> // after our headers: it defines macros named like some of their members

namespace {
struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

std::string SidText(PSID sid) {
    char* text = nullptr;
    if (!sid || !ConvertSidToStringSidA(sid, &text))
        return "?";
    std::unique_ptr<void, LocalFreer> owned(text);
    return text;
}

std::string CurrentUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return "?";
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    const bool read = GetTokenInformation(token, TokenUser, user.data(), size, &size);
    CloseHandle(token);
    return read ? SidText(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid) : "?";
}

// The file's security as Windows reports it through its path: "protected" when the DACL
// takes nothing from the folder, the owner, then one "allow|deny MASK SID [inherited]" per
// entry.
std::string DescribeSecurity(const std::string& path) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &dacl, nullptr, &raw) != ERROR_SUCCESS)
        return "unreadable";
    std::unique_ptr<void, LocalFreer> descriptor(raw);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(raw, &control, &revision);
    std::string text = (control & SE_DACL_PROTECTED) ? "protected" : "inheriting";
    text += "; owner " + SidText(owner);
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            continue;
        const auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        char mask[16];
        std::snprintf(mask, sizeof mask, "0x%lx", static_cast<unsigned long>(entry->Mask));
        text += std::string("; ") +
                (entry->Header.AceType == ACCESS_ALLOWED_ACE_TYPE ? "allow " : "deny ") + mask +
                " " + SidText(const_cast<DWORD*>(&entry->SidStart)) +
                ((entry->Header.AceFlags & INHERITED_ACE) ? " inherited" : "");
    }
    return text;
}

bool UnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

TEST(OwnerOnlyFileTest, DaclGrantsTheCurrentUserAloneAndInheritsNothing) {
    TempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.FilePath("key.pem");
    ASSERT_EQ(WriteNewFile(path, "secret", FileReaders::OwnerOnly, false), "");
    const std::string user = CurrentUserSid();
    // Wine keeps a descriptor given at creation only as the Unix file's mode and reports the
    // DACL it derives from that: SYSTEM and the owner, not protected. What it can show is
    // that nobody else (Everyone, Users) was let in.
    const std::string expected =
        UnderWine()
            ? "inheriting; owner " + user + "; allow 0x1f01ff S-1-5-18; allow 0x1f01ff " + user
            : "protected; owner " + user + "; allow 0x1f01ff " + user;
    EXPECT_EQ(DescribeSecurity(path), expected);
}
} // namespace
