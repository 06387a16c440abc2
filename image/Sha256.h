#pragma once

#include <QByteArray>

// SHA-256 from libgcrypt, the library that gpgv itself hashes with: Qt 5's own takes more than
// ten times as long, which a whole image, a copy of the flash and its read-back would feel.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    // False when the library could not give a hash, which then never matches one.
    bool usable() const { return handle != nullptr; }
    void addData(const char *data, qint64 size);
    void addData(const QByteArray &bytes) { addData(bytes.constData(), bytes.size()); }
    // The 32 bytes of the hash of what was added so far; empty when not usable.
    QByteArray result() const;

private:
    struct gcry_md_handle *handle = nullptr;
};
