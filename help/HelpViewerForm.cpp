#include "help/HelpViewerForm.h"

#include <QApplication>
#include <QFileInfo>
#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpIndexWidget>
#include <QHelpLink>
#include <QRegularExpression>
#include <QSplitter>
#include <QTextDocument>
#include <QVBoxLayout>

namespace mindrel {

namespace {

constexpr int kWidth = 760;
constexpr int kHeight = 520;
constexpr int kNavigationWidth = 220;

QString ContextIdentifier(int context) { return QStringLiteral("context-%1").arg(context); }

QWidget* PageWithLayout(QWidget* parent) {
  auto* page = new QWidget(parent);
  auto* layout = new QVBoxLayout(page);
  layout->setContentsMargins(2, 2, 2, 2);
  return page;
}

}  // namespace

THelpViewerForm::THelpViewerForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("HelpViewerForm"));
  setWindowTitle(QStringLiteral("Mindrel Help"));
  resize(kWidth, kHeight);
  auto* splitter = new QSplitter(this);
  Tabs = new QTabWidget(splitter);
  Tabs->setObjectName(QStringLiteral("Tabs"));
  Tabs->setAccessibleName(QStringLiteral("Help navigation"));
  Tabs->addTab(PageWithLayout(Tabs), QStringLiteral("&Contents"));
  QWidget* indexPage = PageWithLayout(Tabs);
  IndexEdit = new QLineEdit(indexPage);
  IndexEdit->setObjectName(QStringLiteral("IndexEdit"));
  IndexEdit->setAccessibleName(QStringLiteral("Keyword"));
  IndexEdit->setPlaceholderText(QStringLiteral("Type a keyword"));
  indexPage->layout()->addWidget(IndexEdit);
  Tabs->addTab(indexPage, QStringLiteral("&Index"));
  Browser = new THelpBrowserWidget(splitter);
  Browser->setObjectName(QStringLiteral("Browser"));
  Browser->setAccessibleName(QStringLiteral("Help topic"));
  splitter->addWidget(Tabs);
  splitter->addWidget(Browser);
  splitter->setSizes({kNavigationWidth, kWidth - kNavigationWidth});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(splitter);
  connect(IndexEdit, &QLineEdit::textChanged, this, &THelpViewerForm::IndexFilterChanged);
  connect(Browser, &QTextBrowser::sourceChanged, this,
          [this] { setWindowTitle(QStringLiteral("Mindrel Help - ") + Browser->documentTitle()); });
}

// The navigation widgets belong to the engine's models; they go first.
THelpViewerForm::~THelpViewerForm() {
  Browser->setHelpEngine(nullptr);
  if (engine_) {
    delete engine_->contentWidget();
    delete engine_->indexWidget();
  }
}

bool THelpViewerForm::OpenCollection(const std::string& helpFile) {
  if (engine_ && openFile_ == helpFile) return true;
  Browser->setHelpEngine(nullptr);
  if (engine_) {
    delete engine_->contentWidget();
    delete engine_->indexWidget();
    engine_.reset();
  }
  openFile_.clear();
  const QString file = QString::fromStdString(helpFile);
  if (!QFileInfo(file).isFile()) return false;
  auto engine = std::make_unique<QHelpEngine>(file);
  // The collection sits in the program folder, which the user may not write.
  engine->setReadOnly(true);
  if (!engine->setupData() || engine->registeredDocumentations().isEmpty()) return false;
  engine_ = std::move(engine);
  openFile_ = helpFile;
  Browser->setHelpEngine(engine_.get());

  QHelpContentWidget* contents = engine_->contentWidget();
  contents->setObjectName(QStringLiteral("ContentsTree"));
  contents->setAccessibleName(QStringLiteral("Contents"));
  Tabs->widget(0)->layout()->addWidget(contents);
  connect(contents, &QHelpContentWidget::linkActivated, this, &THelpViewerForm::ShowPage);
  connect(engine_->contentModel(), &QHelpContentModel::contentsCreated, contents, [contents] { contents->expandToDepth(0); });

  QHelpIndexWidget* index = engine_->indexWidget();
  index->setObjectName(QStringLiteral("IndexList"));
  index->setAccessibleName(QStringLiteral("Index"));
  Tabs->widget(1)->layout()->addWidget(index);
  connect(index, &QHelpIndexWidget::documentActivated, this,
          [this](const QHelpLink& document, const QString&) { ShowPage(document.url); });
  connect(index, &QHelpIndexWidget::documentsActivated, this, [this](const QList<QHelpLink>& documents, const QString&) {
    if (!documents.isEmpty()) ShowPage(documents.first().url);
  });
  return true;
}

QUrl THelpViewerForm::TopicPage(const QString& topic) const {
  const QString name = engine_->registeredDocumentations().constFirst();
  return QUrl(QStringLiteral("qthelp://%1/doc/%2").arg(name, topic.isEmpty() ? QStringLiteral("index.html") : topic));
}

QUrl THelpViewerForm::ContextPage(int context) const {
  const QList<QHelpLink> documents = engine_->documentsForIdentifier(ContextIdentifier(context));
  return documents.isEmpty() ? QUrl() : documents.constFirst().url;
}

void THelpViewerForm::ShowPage(const QUrl& page) {
  currentPage_ = page;
  Browser->setSource(page);
}

void THelpViewerForm::ShowMissing(const QString& what) {
  currentPage_.clear();
  Browser->setHtml(QStringLiteral("<html><head><title>%1</title></head><body><p>%1</p></body></html>").arg(what.toHtmlEscaped()));
  setWindowTitle(QStringLiteral("Mindrel Help"));
}

// Opened from a modal window, the viewer must be modal too, or that window
// would keep it from taking any input.
void THelpViewerForm::PopUp() {
  const QWidget* modal = QApplication::activeModalWidget();
  const Qt::WindowModality wanted = modal != nullptr && modal != this ? Qt::ApplicationModal : Qt::NonModal;
  if (windowModality() != wanted) {
    hide();
    setWindowModality(wanted);
  }
  show();
  raise();
  activateWindow();
}

void THelpViewerForm::DisplayContents(const std::string& helpFile) {
  if (OpenCollection(helpFile)) {
    ShowPage(TopicPage({}));
    Tabs->setCurrentIndex(0);
  } else {
    ShowMissing(QStringLiteral("The help file %1 cannot be opened.").arg(QString::fromStdString(helpFile)));
  }
  PopUp();
}

void THelpViewerForm::DisplayTopic(const std::string& helpFile, const std::string& topic) {
  if (OpenCollection(helpFile)) {
    ShowPage(TopicPage(QString::fromStdString(topic)));
  } else {
    ShowMissing(QStringLiteral("The help file %1 cannot be opened.").arg(QString::fromStdString(helpFile)));
  }
  PopUp();
}

void THelpViewerForm::DisplayContext(const std::string& helpFile, int context) {
  if (!OpenCollection(helpFile)) {
    ShowMissing(QStringLiteral("The help file %1 cannot be opened.").arg(QString::fromStdString(helpFile)));
  } else if (const QUrl page = ContextPage(context); page.isValid()) {
    ShowPage(page);
  } else {
    ShowMissing(QStringLiteral("There is no help topic for context %1.").arg(context));
  }
  PopUp();
}

void THelpViewerForm::DisplayIndex(const std::string& helpFile, const std::string& keyword) {
  if (OpenCollection(helpFile)) {
    Tabs->setCurrentIndex(1);
    IndexEdit->setText(QString::fromStdString(keyword));
    const QList<QHelpLink> documents = engine_->documentsForKeyword(IndexEdit->text());
    if (!documents.isEmpty()) ShowPage(documents.constFirst().url);
  } else {
    ShowMissing(QStringLiteral("The help file %1 cannot be opened.").arg(QString::fromStdString(helpFile)));
  }
  PopUp();
}

void THelpViewerForm::IndexFilterChanged(const QString& text) {
  if (engine_) engine_->indexWidget()->filterIndices(text);
}

void THelpViewerForm::CloseAll() { hide(); }

QString THelpViewerForm::ShortText(const std::string& helpFile, int context) {
  if (!OpenCollection(helpFile)) return {};
  const QUrl page = ContextPage(context);
  if (!page.isValid()) return {};
  static const QRegularExpression shortParagraph(QStringLiteral("<p class=\"short\">(.*?)</p>"),
                                                 QRegularExpression::DotMatchesEverythingOption);
  const QRegularExpressionMatch match = shortParagraph.match(QString::fromUtf8(engine_->fileData(page)));
  if (!match.hasMatch()) return {};
  QTextDocument text;
  text.setHtml(match.captured(1));
  return text.toPlainText();
}

}  // namespace mindrel
