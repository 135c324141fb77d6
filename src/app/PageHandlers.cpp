// What the pages do when shown, double-clicked or clicked: each picks a job of
// the catalogue, gives it a start state and submits it to the session. The
// handlers are bound now so that the window can attach and detach them; their
// bodies come with the catalogue's jobs.
#include "Unit1.h"

void TForm1::btnExportClick() {}

void TForm1::tbsNumbersShow() {}
void TForm1::tbsGreetingsShow() {}
void TForm1::tbsTimeShow() {}
void TForm1::tbsMenuShow() {}
void TForm1::tbsMailShow() {}
void TForm1::tbsSysParamsShow() {}
void TForm1::tbsMessagesShow() {}

void TForm1::sgTimeDblClick() {}
void TForm1::sgGreetingsDblClick() {}
void TForm1::sgMenuDblClick() {}
void TForm1::sgSysParamsDblClick() {}
void TForm1::sgMessagesDblClick() {}
void TForm1::sgGreetOverrideDblClick() {}
void TForm1::btnMailEditClick() {}
