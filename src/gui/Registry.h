#pragma once
// The global references through which the windows and modules reach each
// other. Start-up creates each object once, in the fixed creation order, and
// fills its slot; nothing else assigns them. Main thread only.

namespace tarn {

class TFormMain;
class TForm1;
class TFormBlockList;
class TFormFriends;
class TFormLeaderBoard;
class TPspAdHocModule;
class TDataModulePcsx2;
class TDataModuleClientObject;
class TDataModule2;
class TFormWebsite;
class TFormReport;
class TPMForm;
class TFormOptions;
class TMPinstaller;
class TFormLadder;
class THttpsModule;
class TFormGolden;
class TFeedback;
class TFormClan;
class TFormAutoUpdate;
class TForm7;

struct TGlobalRefs {
    TFormMain* FormMain = nullptr;
    TForm1* Form1 = nullptr;
    TFormBlockList* FormBlockList = nullptr;
    TFormFriends* FormFriends = nullptr;
    TFormLeaderBoard* FormLeaderBoard = nullptr;
    TPspAdHocModule* PspAdHocModule = nullptr;
    TDataModulePcsx2* DataModulePcsx2 = nullptr;
    TDataModuleClientObject* DataModuleClientObject = nullptr;
    TDataModule2* DataModule2 = nullptr;
    TFormWebsite* FormWebsite = nullptr;
    TFormReport* FormReport = nullptr;
    TPMForm* PMForm = nullptr;
    TFormOptions* FormOptions = nullptr;
    TMPinstaller* MPinstaller = nullptr;
    TFormLadder* FormLadder = nullptr;
    THttpsModule* HttpsModule = nullptr;
    TFormGolden* FormGolden = nullptr;
    TFeedback* Feedback = nullptr;
    TFormClan* FormClan = nullptr;
    TFormAutoUpdate* FormAutoUpdate = nullptr;
    TForm7* Form7 = nullptr;
};

inline TGlobalRefs& Globals() {
    static TGlobalRefs refs;
    return refs;
}

} // namespace tarn
