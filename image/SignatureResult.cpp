#include "SignatureResult.h"

QString SignatureResult::line() const
{
    switch (status) {
    case Good:
        return QStringLiteral("Signed by %1, key \u2026%2").arg(signer, keyId());
    case Bad:
        return QStringLiteral("The signature does not match this image");
    case Untrusted:
        return QStringLiteral("Signed by a key that is not trusted (\u2026%1)").arg(keyId());
    case Expired:
        return QStringLiteral("The signing key has expired");
    default:
        return QStringLiteral("Not signed");
    }
}

QString SignatureResult::statusName() const
{
    static const char *const names[] = {"none", "good", "bad", "untrusted", "expired"};
    return QLatin1String(names[status]);
}

QString SignatureResult::keyId() const
{
    return fingerprint.right(16);
}
