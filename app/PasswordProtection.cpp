#include "PasswordProtection.h"

#include "LangStrings.h"

#include <wincrypt.h>

#include <cstring>

namespace {

constexpr wchar_t kPassPhrase[] = L"vL!m0rA;q7#Kz";
static_assert(ARRAYSIZE(kPassPhrase) - 1 == 13, "the pass phrase is 13 characters");

constexpr DWORD kChunk = 1000;
constexpr BYTE kSealMarker[4] = {'V', 'L', 'M', '1'};
constexpr size_t kCheckBytes = 4;

class CryptContext {
public:
    CryptContext()
    {
        CryptAcquireContextW(&provider_, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT);
    }
    ~CryptContext()
    {
        if (key_)
            CryptDestroyKey(key_);
        if (hash_)
            CryptDestroyHash(hash_);
        if (provider_)
            CryptReleaseContext(provider_, 0);
    }
    CryptContext(const CryptContext&) = delete;
    CryptContext& operator=(const CryptContext&) = delete;

    bool Hash(const void* bytes, DWORD size)
    {
        return provider_ && CryptCreateHash(provider_, CALG_MD5, 0, 0, &hash_) &&
               CryptHashData(hash_, static_cast<const BYTE*>(bytes), size, 0);
    }
    bool Digest(BYTE (&digest)[16])
    {
        DWORD size = sizeof(digest);
        return hash_ && CryptGetHashParam(hash_, HP_HASHVAL, digest, &size, 0) && size == sizeof(digest);
    }
    bool DeriveRc4Key()
    {
        return Hash(kPassPhrase, static_cast<DWORD>((ARRAYSIZE(kPassPhrase) - 1) * sizeof(wchar_t))) &&
               CryptDeriveKey(provider_, CALG_RC4, hash_, 0, &key_);
    }

    // Runs the stream cipher over the bytes in chunks, in place.
    bool Process(BYTE* bytes, size_t size, bool encrypt)
    {
        size_t done = 0;
        do {
            const DWORD chunk = static_cast<DWORD>(size - done < kChunk ? size - done : kChunk);
            const BOOL final = done + chunk == size;
            BYTE buffer[kChunk + 8];
            memcpy(buffer, bytes + done, chunk);
            DWORD length = chunk;
            const BOOL ok = encrypt ? CryptEncrypt(key_, 0, final, 0, buffer, &length, sizeof(buffer))
                                    : CryptDecrypt(key_, 0, final, 0, buffer, &length);
            // A stream cipher gives back exactly as many bytes as it took.
            if (!ok || length != chunk)
                return false;
            memcpy(bytes + done, buffer, chunk);
            done += chunk;
        } while (done < size);
        return true;
    }

private:
    HCRYPTPROV provider_ = 0;
    HCRYPTHASH hash_ = 0;
    HCRYPTKEY key_ = 0;
};

// False after the error box when the cipher cannot be set up.
bool ProtectBytes(std::vector<BYTE>& bytes, bool encrypt)
{
    CryptContext context;
    if (!context.DeriveRc4Key()) {
        ShowErrorBox(nullptr, 0, MB_ICONERROR | MB_SETFOREGROUND);
        return false;
    }
    if (bytes.empty())
        return true;
    std::vector<BYTE> work = bytes;
    if (!context.Process(work.data(), work.size(), encrypt))
        return false;
    bytes.swap(work);
    return true;
}

std::vector<BYTE> TextBytes(const std::wstring& text)
{
    const BYTE* begin = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(begin, begin + text.size() * sizeof(wchar_t));
}

std::wstring BytesText(const BYTE* bytes, size_t size)
{
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes), size / sizeof(wchar_t));
}

bool Md5(const std::vector<BYTE>& bytes, BYTE (&digest)[16])
{
    CryptContext context;
    return context.Hash(bytes.data(), static_cast<DWORD>(bytes.size())) && context.Digest(digest);
}

// What a password typed by a person can hold: no control characters.
bool LooksLikeText(const std::wstring& text)
{
    for (wchar_t c : text) {
        if (c < 0x20 || c == 0x7F || c == 0xFFFF || c == 0xFFFE)
            return false;
    }
    return true;
}

} // namespace

bool ProtectText(std::wstring& text, bool encrypt)
{
    std::vector<BYTE> bytes = TextBytes(text);
    if (!ProtectBytes(bytes, encrypt))
        return false;
    text = BytesText(bytes.data(), bytes.size());
    return true;
}

bool HashTextHex(const std::wstring& text, std::wstring& hex)
{
    BYTE digest[16];
    if (!Md5(TextBytes(text), digest))
        return false;
    static const wchar_t kDigits[] = L"0123456789abcdef";
    hex.clear();
    for (BYTE b : digest) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    hex.resize(31);
    return true;
}

std::vector<BYTE> SealSecret(const std::wstring& plain)
{
    std::vector<BYTE> payload = TextBytes(plain);
    BYTE digest[16];
    if (!Md5(payload, digest))
        return {};
    payload.insert(payload.end(), digest, digest + kCheckBytes);
    if (!ProtectBytes(payload, true))
        return {};
    std::vector<BYTE> sealed(kSealMarker, kSealMarker + sizeof(kSealMarker));
    sealed.insert(sealed.end(), payload.begin(), payload.end());
    return sealed;
}

bool OpenSecret(const std::vector<BYTE>& stored, std::wstring& plain)
{
    if (stored.size() >= sizeof(kSealMarker) + kCheckBytes &&
        memcmp(stored.data(), kSealMarker, sizeof(kSealMarker)) == 0) {
        std::vector<BYTE> payload(stored.begin() + sizeof(kSealMarker), stored.end());
        if ((payload.size() - kCheckBytes) % sizeof(wchar_t) != 0 || !ProtectBytes(payload, false))
            return false;
        const std::vector<BYTE> text(payload.begin(), payload.end() - kCheckBytes);
        BYTE digest[16];
        if (!Md5(text, digest) || memcmp(digest, payload.data() + text.size(), kCheckBytes) != 0)
            return false;
        plain = BytesText(text.data(), text.size());
        return true;
    }
    // The older form: the bare encrypted text. It carries no check, so only
    // a result that reads as a typed password is taken.
    if (stored.empty() || stored.size() % sizeof(wchar_t) != 0)
        return false;
    std::vector<BYTE> bytes = stored;
    if (!ProtectBytes(bytes, false))
        return false;
    std::wstring text = BytesText(bytes.data(), bytes.size());
    if (!LooksLikeText(text))
        return false;
    plain = text;
    return true;
}
