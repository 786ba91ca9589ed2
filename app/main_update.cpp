#include "app/main_update.h"

#include "engine/exec.h"
#include "lang/InitLang_update.h"
#include "lang/reader.h"
#include "platform/command_line.h"
#include "platform/resources.h"
#include "resources/texts.h"

const char16_t kApplicationTitle[] = u"VORLO Updater application";

namespace {

template <class T>
T* Bind(lang::TForm* form, lang::UStringView name) {
  T* c = dynamic_cast<T*>(form->FindComponent(name));
  if (c == nullptr) {
    throw lang::EReadError(u"The window description has no " + lang::UString(name));
  }
  return c;
}

}  // namespace

TFormUpdater::TFormUpdater(lang::TApplication* application) : lang::TForm(application) {
  std::string description;
  if (!platform::ResourcesInForce().FindDescription(u"TFormUpdater", &description)) {
    throw lang::EReadError(u"Resource TFormUpdater not found");
  }
  lang::TReader reader(description, 4096);
  reader.ReadRootComponent(this);
  LabelBottom = Bind<lang::TLabel>(this, u"LabelBottom");
  ButtonDetails = Bind<lang::TButton>(this, u"ButtonDetails");
  MemoLog = Bind<lang::TMemo>(this, u"MemoLog");
}

TFormUpdater::~TFormUpdater() = default;

lang::TNotifyEvent TFormUpdater::FindMethod(lang::UStringView name) {
  const lang::UString n = platform::UpperCase(name);
  if (n == u"FORMACTIVATE") return [this](lang::TComponent* s) { FormActivate(s); };
  if (n == u"BUTTONDETAILSCLICK") return [this](lang::TComponent* s) { ButtonDetailsClick(s); };
  return nullptr;
}

std::function<void(lang::TComponent*, bool&)> TFormUpdater::FindCloseQueryMethod(
    lang::UStringView name) {
  if (platform::UpperCase(name) == u"FORMCLOSEQUERY") {
    return [this](lang::TComponent* s, bool& can) { FormCloseQuery(s, can); };
  }
  return nullptr;
}

void TFormUpdater::FormActivate(lang::TComponent*) {
  try {
    lang::LanguageSelection();
    Allowclose = false;
    Close_this_app = false;
    Native()->SetLogoutInhibited(true);
    Exec = new TExec(this);
    Exec->OnTerminate = [this](platform::TThread*) { ExecTerminated(nullptr); };
    try {
      Exec->Start();
    } catch (...) {
      delete Exec;  // never started: nothing else will free it
      Exec = nullptr;
      throw;
    }
  } catch (...) {
    // No run takes place, so nothing would ever allow closing: allow it now.
    Allowclose = true;
    Native()->SetLogoutInhibited(false);
    throw;
  }
}

void TFormUpdater::FormCloseQuery(lang::TComponent*, bool& CanClose) {
  CanClose = Allowclose;
  Native()->SetLogoutInhibited(!CanClose);
}

void TFormUpdater::ExecTerminated(lang::TComponent*) {
  Native()->SetLogoutInhibited(!Allowclose);
  if (Close_this_app) Close();
}

void TFormUpdater::ButtonDetailsClick(lang::TComponent*) { SetHeight(245); }

void TFormUpdater::CloseRequested() {
  Close();
  if (!Allowclose && !told_update_finishes_) {
    told_update_finishes_ = true;
    platform::PrintErr(platform::LoadResString(texts::kUpdateFinishesFirst) + u"\n");
  }
}
