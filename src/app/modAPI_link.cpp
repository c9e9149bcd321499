#include "AppError.h"
#include "PathCodec.h"
#include "modAPI.h"

#include <QRandomGenerator>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace modAPI {

namespace {

const QString Wrapper = QStringLiteral("MyReplaceByHardLink");

int Fail(const QString& detail, int code) {
    ReportAPIError(Wrapper, detail, code);
    return Failed;
}

bool SameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A name beside the target that nothing uses yet; the link itself claims it, so two runs
// (or anyone else) can never be handed the same name.
QByteArray CandidateBeside(const QByteArray& target) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const qsizetype slash = target.lastIndexOf('/');
    QByteArray name = slash < 0 ? QByteArray() : target.left(slash + 1);
    name += ".echofind-link-";
    for (int i = 0; i < 10; ++i)
        name += letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
    return name;
}

} // namespace

int MyReplaceByHardLink(const QString& kept, const QString& target, bool* alreadyLinked) {
    if (alreadyLinked)
        *alreadyLinked = false;
    const QByteArray from = PathCodec::Encode(kept);
    const QByteArray to = PathCodec::Encode(target);

    // Links are never followed: a symbolic link in either place is not what was compared,
    // and linking one would leave a link to a link.
    struct stat keptStat;
    struct stat targetStat;
    if (::lstat(from.constData(), &keptStat) != 0)
        return Fail(kept, errno);
    if (!S_ISREG(keptStat.st_mode))
        return Fail(kept, EINVAL);
    if (::lstat(to.constData(), &targetStat) != 0)
        return Fail(target, errno);
    if (!S_ISREG(targetStat.st_mode))
        return Fail(target, EINVAL);
    if (SameInode(keptStat, targetStat)) {
        if (alreadyLinked)
            *alreadyLinked = true;
        return Success;
    }
    // A hard link cannot cross file systems, and nothing else (a symbolic link, a copy)
    // would keep the promise that both names share one file.
    if (keptStat.st_dev != targetStat.st_dev)
        return Fail(target, EXDEV);

    QByteArray temp;
    for (int attempt = 0;; ++attempt) {
        temp = CandidateBeside(to);
        if (::link(from.constData(), temp.constData()) == 0)
            break;
        const int err = errno;
        if (err != EEXIST || attempt == 99)
            return Fail(target, err);
    }

    // The kept name may have been replaced between the look and the link; only the very
    // file that was looked at may take the target's place.
    struct stat linked;
    if (::lstat(temp.constData(), &linked) != 0 || !SameInode(linked, keptStat)) {
        ::unlink(temp.constData());
        return Fail(kept, ECANCELED);
    }
    if (::rename(temp.constData(), to.constData()) != 0) {
        const int err = errno;
        ::unlink(temp.constData());
        return Fail(target, err);
    }
    // When the target had meanwhile become another name of the kept file, rename leaves
    // both names as they were; the spare one must not stay behind.
    struct stat left;
    if (::lstat(temp.constData(), &left) == 0 && SameInode(left, keptStat))
        ::unlink(temp.constData());
    return Success;
}

} // namespace modAPI
