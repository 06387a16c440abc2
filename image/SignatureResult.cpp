#include "SignatureResult.h"

SignatureResult SignatureResult::combined(const QList<SignatureResult> &results)
{
    SignatureResult result;
    result.status = Bad;
    for (const Status status : {Bad, Expired, Good, Untrusted}) {
        const auto found =
            std::find_if(results.cbegin(), results.cend(),
                         [status](const SignatureResult &r) { return r.status == status; });
        if (found == results.cend())
            continue;
        result = *found;
        break;
    }
    if (result.status == Good) {
        for (const SignatureResult &r : results) {
            if (r.status == Untrusted && !result.unknownSigners.contains(r.keyId()))
                result.unknownSigners << r.keyId();
            for (const QString &id : r.unknownSigners) {
                if (!result.unknownSigners.contains(id))
                    result.unknownSigners << id;
            }
        }
    }
    return result;
}

QString SignatureResult::line() const
{
    switch (status) {
    case Good:
        if (!unknownSigners.isEmpty())
            return tr("Signed by %1, key …%2, and by a key that is not trusted (…%3)")
                .arg(signer, keyId(), unknownSigners.join(QStringLiteral(", …")));
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
