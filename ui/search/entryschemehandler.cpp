#include "ui/search/entryschemehandler.h"

#include <QBuffer>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

const QByteArray EntrySchemeHandler::Scheme = QByteArrayLiteral("verbolix-entry");

EntrySchemeHandler::EntrySchemeHandler(std::function<QString()> page, QObject* parent)
    : QWebEngineUrlSchemeHandler(parent), m_page(std::move(page))
{
}

void EntrySchemeHandler::RegisterScheme()
{
    QWebEngineUrlScheme scheme(Scheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    scheme.setFlags(QWebEngineUrlScheme::LocalScheme | QWebEngineUrlScheme::LocalAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
}

void EntrySchemeHandler::requestStarted(QWebEngineUrlRequestJob* job)
{
    auto* body = new QBuffer(job);
    body->setData(m_page().toUtf8());
    body->open(QIODevice::ReadOnly);
    job->reply(QByteArrayLiteral("text/html;charset=utf-8"), body);
}
