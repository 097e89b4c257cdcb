#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "unit/TempDir.h"
#include "core/platform/NewFile.h"

#include <aclapi.h>
#include <windows.h> // after our headers: it defines macros named like some of their members

namespace {
struct LocalFreer {
    void operator()(void* memory) const { LocalFree(memory); }
};

std::vector<unsigned char> CurrentUser() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    if (!GetTokenInformation(token, TokenUser, user.data(), size, &size))
        user.clear();
    CloseHandle(token);
    return user;
}

// What Windows reports of the key file's security, read back through the file's path.
TEST(OwnerOnlyFileTest, DaclGrantsTheCurrentUserAloneAndInheritsNothing) {
    TempDir dir;
    ASSERT_TRUE(dir.IsValid());
    const std::string path = dir.FilePath("key.pem");
    ASSERT_EQ(WriteNewFile(path, "secret", FileReaders::OwnerOnly, false), "");
    const std::vector<unsigned char> user = CurrentUser();
    ASSERT_FALSE(user.empty());
    PSID userSid = reinterpret_cast<TOKEN_USER*>(const_cast<unsigned char*>(user.data()))->User.Sid;

    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR raw = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT,
                                    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                                    nullptr, &dacl, nullptr, &raw),
              DWORD(ERROR_SUCCESS));
    std::unique_ptr<void, LocalFreer> descriptor(raw);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(raw, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED);
    ASSERT_TRUE(owner && EqualSid(owner, userSid));
    ASSERT_NE(dacl, nullptr);
    ASSERT_EQ(dacl->AceCount, 1);
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, 0, &ace));
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(allowed->Header.AceFlags & INHERITED_ACE, 0);
    EXPECT_EQ(allowed->Mask & FILE_ALL_ACCESS, DWORD(FILE_ALL_ACCESS));
    EXPECT_TRUE(EqualSid(const_cast<DWORD*>(&allowed->SidStart), userSid));
}
} // namespace
