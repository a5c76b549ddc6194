// Path fields that keep the bytes of names that are not UTF-8.
#include "path_field.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QFile>
#include <QLineEdit>
#include <QUrl>

namespace {

bool Exists(const QByteArray& path) {
    struct stat status {};
    return ::lstat(path.constData(), &status) == 0;
}

/// The one entry of `folder` other than "." and ".." that shows as `shown`;
/// empty when there is none or more than one.
QByteArray UniqueEntryShownAs(const QByteArray& folder, const QString& shown) {
    DIR* listing = ::opendir(folder.isEmpty() ? "." : folder.constData());
    if (!listing) return {};
    QByteArray found;
    int matches = 0;
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != ".." && QFile::decodeName(name) == shown) {
            found = name;
            ++matches;
        }
    }
    ::closedir(listing);
    return matches == 1 ? found : QByteArray();
}

}  // namespace

QByteArray LocalPathBytes(const QUrl& url) {
    if (!url.isLocalFile()) return {};
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

QByteArray ResolveShownPath(const QByteArray& path) {
    if (path.isEmpty() || Exists(path)) return path;
    const QList<QByteArray> parts = path.split('/');
    QByteArray resolved;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QByteArray& part = parts[i];
        const QByteArray folder = resolved;
        if (i > 0) resolved += '/';
        const QString shown = QFile::decodeName(part);
        QByteArray match;
        if (shown.contains(QChar::ReplacementCharacter) && !Exists(resolved + part)) {
            match = UniqueEntryShownAs(i > 0 && folder.isEmpty() ? QByteArray("/") : folder, shown);
        }
        resolved += match.isEmpty() ? part : match;
    }
    return resolved;
}

QString PathField::Text() const { return field_->text(); }

void PathField::SetBytes(const QByteArray& bytes) {
    bytes_ = bytes;
    shown_ = QFile::decodeName(bytes);
    field_->setText(shown_);
}

QByteArray PathField::Bytes() const {
    const QString text = field_->text();
    if (!bytes_.isEmpty() && text == shown_) return bytes_;
    return ResolveShownPath(QFile::encodeName(text));
}
