#include "Sha256.h"

#include <gcrypt.h>

Sha256::Sha256()
{
    static const bool initialized = [] {
        gcry_check_version(nullptr);
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    if (!initialized || gcry_md_open(&handle, GCRY_MD_SHA256, 0) != 0)
        handle = nullptr;
}

Sha256::~Sha256()
{
    gcry_md_close(handle);
}

void Sha256::addData(const char *data, qint64 size)
{
    if (handle)
        gcry_md_write(handle, data, size_t(size));
}

QByteArray Sha256::result() const
{
    if (!handle)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char *>(gcry_md_read(handle, GCRY_MD_SHA256)), 32);
}
