#include "main_window/file_list_texts.h"

#include <QFileSystemModel>
#include <QLocale>

namespace lumigal {

namespace {

// The file model's columns.
constexpr int kSizeColumn = 1;
constexpr int kDateColumn = 3;

QLocale french() { return QLocale(QLocale::French, QLocale::France); }

}  // namespace

QString frenchFileSize(qint64 bytes) { return french().formattedDataSize(bytes); }

QString frenchFileDate(const QDateTime& when) {
    return french().toString(when, QLocale::ShortFormat);
}

FileListTexts::FileListTexts(const QFileSystemModel* model, QObject* parent)
    : QStyledItemDelegate(parent), model_(model) {}

QString FileListTexts::shownText(const QModelIndex& index) const {
    QStyleOptionViewItem option;
    initStyleOption(&option, index);
    return option.text;
}

void FileListTexts::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (model_ == nullptr || index.model() != model_) return;
    // Folders have no size; the model leaves the cell empty.
    if (index.column() == kSizeColumn && !model_->isDir(index))
        option->text = frenchFileSize(model_->size(index));
    if (index.column() == kDateColumn && model_->lastModified(index).isValid())
        option->text = frenchFileDate(model_->lastModified(index));
}

}  // namespace lumigal
