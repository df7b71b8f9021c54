#pragma once
// The headless office process behind the spreadsheet engine (UNO types; included only by the
// engine's own sources).
#include <QString>

#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

namespace calc::office {

struct Connection {
  css::uno::Reference<css::uno::XComponentContext> context;
  css::uno::Reference<css::frame::XDesktop2> desktop;
};

// The running office, started when there is none: soffice with a private profile and a pipe of
// its own, resolved with retries. Throws calc::EngineError when the office cannot be started.
Connection& connect();

// After a failed call: when the office process has ended or its connection is gone, forget it
// (the next connect() starts a new one).
void checkAfterFailure();

// The text of a UNO string as QString and back.
QString toQ(const rtl::OUString& s);
rtl::OUString toU(const QString& s);

}  // namespace calc::office
