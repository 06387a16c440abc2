#include "SignatureResult.h"

QString SignatureResult::line() const
{
    switch (status) {
    case Good:
        return tr("Signed by %1, key …%2").arg(signer, keyId());
    case Bad:
        return tr("The signature does not match this image");
    case Untrusted:
        return tr("Signed by a key that is not trusted (…%1)").arg(keyId());
    case Expired:
        return tr("The signing key has expired");
    default:
        return tr("Not signed");
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
