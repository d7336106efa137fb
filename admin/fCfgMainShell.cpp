// The main window's shell and help commands.
#include "admin/fCfgMain.h"

namespace quillet::admin {

void TForm1::CreateDesktopIcon1Click() {}

void TForm1::Contents1Click() {}

void TForm1::KeywordSearch1Click() {}

void TForm1::QuilletWebPage1Click() {}

void TForm1::OrvaneHomePage1Click() {}

void TForm1::EmailFeedback1Click() {}

void TForm1::About1Click() {}

} // namespace quillet::admin
