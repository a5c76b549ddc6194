// A drop's data as another program sends it: "text/uri-list" bytes kept as
// they are. QMimeData::setData would parse such a list into URLs and spoil a
// name that is not UTF-8, which a sender of plain bytes does not do.
#pragma once

#include <QMimeData>
#include <QStringList>
#include <QVariant>

namespace apptest {

/// Mime data holding only the "text/uri-list" bytes `bytes`, unparsed.
struct RawUriList : QMimeData {
    explicit RawUriList(QByteArray list) : bytes(std::move(list)) {}
    QStringList formats() const override { return {QStringLiteral("text/uri-list")}; }
    bool hasFormat(const QString& format) const override { return formats().contains(format); }
    QVariant retrieveData(const QString& format, QMetaType) const override {
        return hasFormat(format) ? QVariant(bytes) : QVariant();
    }
    QByteArray bytes;
};

}  // namespace apptest
