#include "pilot_access.h"

#include <aclapi.h>
#include <sddl.h>

#include <stdio.h>

#include "folders.h"

namespace {

// Read, write, create and delete: what the map program's log, its index
// (written beside and moved over the old one) and a reinstall's swap need.
const DWORD kPilotRights = FILE_GENERIC_READ | FILE_GENERIC_WRITE | FILE_GENERIC_EXECUTE | DELETE;

// Adds the account's allow entry to the file's or folder's own entries, which
// are kept, inherited ones too.
DWORD Grant(const char *path, PSID account, DWORD inheritance) {
    PACL current = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    DWORD error = GetNamedSecurityInfoA(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &current, nullptr,
                                        &descriptor);
    if (error != ERROR_SUCCESS) return error;
    EXPLICIT_ACCESSA entry = {};
    entry.grfAccessPermissions = kPilotRights;
    entry.grfAccessMode = GRANT_ACCESS;
    entry.grfInheritance = inheritance;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = TRUSTEE_IS_USER;
    entry.Trustee.ptstrName = static_cast<LPSTR>(account);
    PACL granted = nullptr;
    error = SetEntriesInAclA(1, &entry, current, &granted);
    if (error == ERROR_SUCCESS)
        error = SetNamedSecurityInfoA(const_cast<char *>(path), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                      granted, nullptr);
    if (granted != nullptr) LocalFree(granted);
    LocalFree(descriptor);
    return error;
}

}  // namespace

bool CurrentAccountSid(char *text, size_t size) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    // A TOKEN_USER with room for the largest SID.
    union {
        TOKEN_USER user;
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } owner;
    DWORD length = 0;
    const BOOL known = GetTokenInformation(token, TokenUser, &owner, sizeof(owner), &length);
    CloseHandle(token);
    char *sid = nullptr;
    if (!known || !ConvertSidToStringSidA(owner.user.User.Sid, &sid)) return false;
    const int written = snprintf(text, size, "%s", sid);
    LocalFree(sid);
    return written > 0 && static_cast<size_t>(written) < size;
}

DWORD GrantPilotWrites(const char *simFolder, const char *sid, char *failedPath, size_t size) {
    char own[SECURITY_MAX_SID_SIZE * 4];
    if (sid[0] == '\0' && !CurrentAccountSid(own, sizeof(own))) return ERROR_NO_SUCH_USER;
    PSID account = nullptr;
    if (!ConvertStringSidToSidA(sid[0] != '\0' ? sid : own, &account)) return ERROR_INVALID_SID;
    struct Place {
        const char *name;
        DWORD inheritance;
    };
    const Place places[] = {{"DrovanaX", SUB_CONTAINERS_AND_OBJECTS_INHERIT}, {"Drovana.cfg", NO_INHERITANCE}};
    DWORD error = ERROR_SUCCESS;
    for (const Place &place : places) {
        if (!JoinPath(failedPath, size, simFolder, place.name)) {
            error = ERROR_FILENAME_EXCED_RANGE;
            break;
        }
        if (GetFileAttributesA(failedPath) == INVALID_FILE_ATTRIBUTES) continue;  // no Drovana.cfg of the pilot's
        error = Grant(failedPath, account, place.inheritance);
        if (error != ERROR_SUCCESS) break;
    }
    LocalFree(account);
    if (error == ERROR_SUCCESS) failedPath[0] = '\0';
    return error;
}
