// The main window's path fields: the text the user sees and edits, and the
// file name's own bytes behind it. File names on Linux are bytes, and one that
// is not valid UTF-8 cannot be shown exactly in a text field, so the bytes a
// drop or a file dialog gave are kept for as long as the field shows them.
#pragma once

#include <QByteArray>
#include <QString>

class QLineEdit;
class QMimeData;
class QUrl;

/// The path of a local file URL as the file system's bytes: the URL's
/// percent-encoded path decoded byte for byte, so a name that is not UTF-8
/// survives. Empty when the URL is not a local file.
QByteArray LocalPathBytes(const QUrl& url);

/// The path of the first local file in a drop, as the file system's bytes.
/// Read from the drop's raw "text/uri-list" bytes and percent-decoded here,
/// so that neither the platform's conversion nor a URL parser can replace a
/// name that is not UTF-8 (encoded or sent as raw bytes) with U+FFFD. Empty
/// when the first entry is no local file.
QByteArray DroppedPathBytes(const QMimeData& data);

/// `path`, with each part that names nothing under its own bytes but shows a
/// character that stands for undecodable bytes (U+FFFD) replaced by the one
/// entry of its folder that shows as the same text. Parts with no such entry,
/// or with several, stay as they are.
QByteArray ResolveShownPath(const QByteArray& path);

class PathField {
public:
    PathField() = default;
    explicit PathField(QLineEdit* field) : field_(field) {}
    /// The field's text as it stands.
    QString Text() const;
    /// Shows `bytes` in the field (undecodable bytes as U+FFFD) and keeps them.
    void SetBytes(const QByteArray& bytes);
    /// The path for the engine. While the field shows the kept bytes, they
    /// are the path. Once the user has edited it, the text is the path as
    /// typed (UTF-8), with its U+FFFD parts matched to existing names by
    /// ResolveShownPath, so editing the file name under a folder whose name
    /// is not UTF-8 still works.
    QByteArray Bytes() const;

private:
    QLineEdit* field_ = nullptr;  // owned by the window
    QByteArray bytes_;
    QString shown_;
};
