#include "app/main_update.h"

#include "engine/exec.h"
#include "forms/reader.h"
#include "lang/InitLang_update.h"
#include "platform/command_line.h"
#include "platform/resources.h"
#include "resources/texts.h"

const char16_t kApplicationTitle[] = u"VORLO Updater application";

namespace {

template <class T>
T* Bind(forms::TForm* form, forms::UStringView name) {
  T* c = dynamic_cast<T*>(form->FindComponent(name));
  if (c == nullptr) {
    throw forms::EReadError(u"The window description has no " + forms::UString(name));
  }
  return c;
}

}  // namespace

TFormUpdater::TFormUpdater(forms::TApplication* application) : forms::TForm(application) {
  std::string description;
  if (!platform::ResourcesInForce().FindDescription(u"TFormUpdater", &description)) {
    throw forms::EReadError(u"Resource TFormUpdater not found");
  }
  forms::TReader reader(description, 4096);
  reader.ReadRootComponent(this);
  LabelBottom = Bind<forms::TLabel>(this, u"LabelBottom");
  ButtonDetails = Bind<forms::TButton>(this, u"ButtonDetails");
  MemoLog = Bind<forms::TMemo>(this, u"MemoLog");
}

TFormUpdater::~TFormUpdater() = default;

forms::TNotifyEvent TFormUpdater::FindMethod(forms::UStringView name) {
  const forms::UString n = platform::UpperCase(name);
  if (n == u"FORMACTIVATE") return [this](forms::TComponent* s) { FormActivate(s); };
  if (n == u"BUTTONDETAILSCLICK") return [this](forms::TComponent* s) { ButtonDetailsClick(s); };
  return nullptr;
}

std::function<void(forms::TComponent*, bool&)> TFormUpdater::FindCloseQueryMethod(
    forms::UStringView name) {
  if (platform::UpperCase(name) == u"FORMCLOSEQUERY") {
    return [this](forms::TComponent* s, bool& can) { FormCloseQuery(s, can); };
  }
  return nullptr;
}

void TFormUpdater::FormActivate(forms::TComponent*) {
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

void TFormUpdater::FormCloseQuery(forms::TComponent*, bool& CanClose) {
  CanClose = Allowclose;
  Native()->SetLogoutInhibited(!CanClose);
}

void TFormUpdater::ExecTerminated(forms::TComponent*) {
  Native()->SetLogoutInhibited(!Allowclose);
  if (Close_this_app) Close();
}

void TFormUpdater::ButtonDetailsClick(forms::TComponent*) { SetHeight(245); }

void TFormUpdater::CloseRequested() {
  Close();
  if (!Allowclose && !told_update_finishes_) {
    told_update_finishes_ = true;
    platform::PrintErr(platform::LoadResString(texts::kUpdateFinishesFirst) + u"\n");
  }
}
