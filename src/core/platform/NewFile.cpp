#include "core/platform/NewFile.h"

#include <cerrno>
#include <system_error>

#ifdef _WIN32
#include <windows.h>

#include <memory>
#include <vector>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
std::string Reason(const std::string& path, int code, const std::error_category& category) {
    return path + ": " + category.message(code);
}
} // namespace

#ifdef _WIN32

namespace {
struct HandleCloser {
    void operator()(void* handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// The TOKEN_USER of this process: the current user's SID, in a buffer that holds it.
std::vector<unsigned char> CurrentUser() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return {};
    Handle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size);
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size))
        return {};
    return user;
}

// A security descriptor owned by the current user whose DACL grants that user alone full
// access and takes nothing from the folder: an admin's default owner would be the
// Administrators group, and inherited entries would let others in.
class OwnerOnlySecurity {
public:
    bool Build() {
        m_user = CurrentUser();
        if (m_user.empty())
            return false;
        PSID sid = reinterpret_cast<TOKEN_USER*>(m_user.data())->User.Sid;
        m_acl.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
        auto* acl = reinterpret_cast<ACL*>(m_acl.data());
        return InitializeAcl(acl, static_cast<DWORD>(m_acl.size()), ACL_REVISION) &&
               AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) &&
               InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) &&
               SetSecurityDescriptorOwner(&m_descriptor, sid, FALSE) &&
               SetSecurityDescriptorDacl(&m_descriptor, TRUE, acl, FALSE) &&
               SetSecurityDescriptorControl(&m_descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
    }
    SECURITY_ATTRIBUTES* Attributes() {
        m_attributes = {sizeof m_attributes, &m_descriptor, FALSE};
        return &m_attributes;
    }

private:
    std::vector<unsigned char> m_user;
    std::vector<unsigned char> m_acl;
    SECURITY_DESCRIPTOR m_descriptor{};
    SECURITY_ATTRIBUTES m_attributes{};
};

// Paths are in the ANSI code page throughout the program.
std::wstring WidePath(const std::string& path) {
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    std::wstring wide(length > 0 ? length : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

std::string SystemReason(const std::string& path) {
    return Reason(path, static_cast<int>(GetLastError()), std::system_category());
}
} // namespace

std::string WriteNewFile(const std::string& path, std::string_view bytes, FileReaders readers,
                         bool replace) {
    const std::wstring wide = WidePath(path);
    if (replace && !DeleteFileW(wide.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
        return SystemReason(path);
    OwnerOnlySecurity security;
    SECURITY_ATTRIBUTES* attributes = nullptr;
    if (readers == FileReaders::OwnerOnly) {
        if (!security.Build())
            return SystemReason(path);
        attributes = security.Attributes();
    }
    Handle file(CreateFileW(wide.c_str(), GENERIC_WRITE, 0, attributes, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        return SystemReason(path);
    }
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size() || !FlushFileBuffers(file.get())) {
        std::string reason = SystemReason(path);
        file.reset();
        DeleteFileW(wide.c_str());
        return reason;
    }
    return {};
}

#else // POSIX

std::string WriteNewFile(const std::string& path, std::string_view bytes, FileReaders readers,
                         bool replace) {
    if (replace && ::unlink(path.c_str()) != 0 && errno != ENOENT)
        return Reason(path, errno, std::generic_category());
    const mode_t mode = readers == FileReaders::OwnerOnly ? 0600 : 0666;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        return Reason(path, errno, std::generic_category());
    const char* next = bytes.data();
    std::size_t left = bytes.size();
    int failure = 0;
    while (left > 0 && failure == 0) {
        const ssize_t written = ::write(fd, next, left);
        if (written > 0) {
            next += written;
            left -= static_cast<std::size_t>(written);
        } else if (written == 0 || errno != EINTR) {
            failure = written == 0 ? ENOSPC : errno;
        }
    }
    if (failure == 0 && ::fsync(fd) != 0 && errno != EINVAL)
        failure = errno;
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0)
        return {};
    ::unlink(path.c_str());
    return Reason(path, failure, std::generic_category());
}

#endif
