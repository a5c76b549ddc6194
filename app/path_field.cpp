// Path fields that keep the bytes of names that are not UTF-8.
#include "path_field.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QLineEdit>
#include <QMimeData>
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

/// True when `host`, from a file URI, names this machine.
bool IsLocalHost(const QByteArray& host) {
    if (host.isEmpty() || host.compare("localhost", Qt::CaseInsensitive) == 0) return true;
    char name[HOST_NAME_MAX + 1] = {};
    return ::gethostname(name, sizeof name - 1) == 0 && host.compare(name, Qt::CaseInsensitive) == 0;
}

/// The path of a "file:" URI as bytes; empty for any other URI.
QByteArray FileUriPathBytes(QByteArray uri) {
    if (uri.left(5).compare("file:", Qt::CaseInsensitive) != 0) return {};
    uri.remove(0, 5);
    if (uri.startsWith("//")) {
        const qsizetype pathStart = uri.indexOf('/', 2);
        if (pathStart < 0 || !IsLocalHost(uri.mid(2, pathStart - 2))) return {};
        uri.remove(0, pathStart);
    }
    // A query or fragment is no part of the name ('?' and '#' in a name are
    // percent-encoded by every sender).
    qsizetype cut = uri.size();
    for (const char mark : {'?', '#'}) {
        const qsizetype at = uri.indexOf(mark);
        if (at >= 0 && at < cut) cut = at;
    }
    return uri.startsWith('/') ? QByteArray::fromPercentEncoding(uri.left(cut)) : QByteArray();
}

}  // namespace

QByteArray DroppedPathBytes(const QMimeData& data) {
    const QByteArray list = data.data(QStringLiteral("text/uri-list"));
    if (list.isEmpty()) {
        const QList<QUrl> urls = data.urls();
        return urls.isEmpty() ? QByteArray() : LocalPathBytes(urls.front());
    }
    for (const QByteArray& line : list.split('\n')) {
        const QByteArray uri = line.trimmed();
        if (uri.isEmpty() || uri.startsWith('#')) continue;  // RFC 2483 comment lines
        return FileUriPathBytes(uri);
    }
    return {};
}

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
