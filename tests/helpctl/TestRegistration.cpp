// Brontel as a component library: registration into temporary registry
// files (read back with python3's configparser), creation by ProgID and by
// class id through dlopen of the built library, the class objects and
// unloading, each registration step's failure, and active popups created
// through the component layer.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "helpctl/ComponentPopupFactory.h"
#include "helpctl/HelpButtonCtrl.h"
#include "helpctl/HelpTestSupport.h"
#include "helpctl/Registration.h"
#include "platform/component/ComponentCreation.h"

namespace kal {
namespace {

using TSections = std::map<std::string, std::map<std::string, std::string>>;

// The registry file as python3's configparser reads it.
TSections ReadWithConfigParser(const std::string& path) {
  int status = -1;
  const std::string out = test::RunPython(
      "import configparser, sys\n"
      "c = configparser.ConfigParser(interpolation=None)\n"
      "c.optionxform = str\n"
      "c.read(sys.stdin.read())\n"
      "for s in c.sections():\n"
      "    print(s)\n"
      "    for k, v in c[s].items():\n"
      "        print('\\t' + k + '\\t' + v)\n",
      path, &status);
  EXPECT_EQ(status, 0) << out;
  TSections sections;
  std::string current;
  for (const std::string& line : test::SplitLines(out)) {
    if (line.empty()) continue;
    if (line[0] != '\t') {
      current = line;
      sections[current];
      continue;
    }
    const size_t tab = line.find('\t', 1);
    sections[current][line.substr(1, tab - 1)] = line.substr(tab + 1);
  }
  return sections;
}

std::string Key(const char* prefix, const TPLTGuid& id) {
  return prefix + PLTGuidToString(id);
}

// A registry whose n-th save (counted from 1) fails with EIO.
class TFailingRegistry final : public TPLTComponentRegistry {
 public:
  TFailingRegistry(std::string path, int failAt)
      : TPLTComponentRegistry(std::move(path)), failAt_(failAt) {}
  int saves = 0;

 protected:
  int PLTSaveFile(const TPLTIniFile& ini) override {
    if (++saves == failAt_) return EIO;
    return TPLTComponentRegistry::PLTSaveFile(ini);
  }

 private:
  int failAt_;
};

const std::string cLibrary = HLP_BRONTEL_LIBRARY;
const std::string cControl = Key("CLSID\\", HLPcControlClsid);
const std::string cGeneral = Key("CLSID\\", HLPcGeneralPageClsid);
const std::string cJava = Key("CLSID\\", HLPcJavaHelpPageClsid);
const std::string cTypeLib = Key("TypeLib\\", HLPcLibId) + "\\1.0";

std::string RunTool(const std::string& registry, const std::string& args, int* status) {
  return test::RunCommand(
      "KAL_COMPONENT_REGISTRY='" + registry + "' '" HLP_REGISTER_TOOL "' " + args + " 2>&1", "",
      status);
}

TEST(BrontelRegistration, RegisterCreateAndUnregisterThroughTheEntryPoints) {
  test::TempDir dir;
  const std::string path = dir.file("config/kalmore/components.ini");
  int status = -1;
  EXPECT_EQ(RunTool(path, "'" + cLibrary + "'", &status),
            "DllRegisterServer " + cLibrary + ": 0x00000000\n");
  EXPECT_EQ(status, 0);

  TSections s = ReadWithConfigParser(path);
  // clang-format off
  const TSections expected{
      {cTypeLib, {{"Name", "OrvistLib"}, {"Path", cLibrary}}},
      {cControl, {{"Name", "QdHelpButton Control"}, {"InprocServer32", cLibrary},
                  {"ThreadingModel", "Apartment"}, {"ProgID", "QDHELP.QdHelpButtonCtrl.1"},
                  {"MiscStatus", "131473"}, {"Insertable", "1"},
                  {"ToolboxBitmap32", cLibrary + ",1"},
                  {"TypeLib", "{550BADC1-E6A3-11D0-A389-0000E81F4743}"}, {"Version", "1.0"}}},
      {cGeneral, {{"Name", "QdHelpButton Property Page"}, {"InprocServer32", cLibrary},
                  {"ThreadingModel", "Apartment"}, {"ProgID", "QDHELP.QdHelpButtonPropPage.1"}}},
      {cJava,    {{"Name", "QdHelpButton JavaHelp Settings"}, {"InprocServer32", cLibrary},
                  {"ThreadingModel", "Apartment"}, {"ProgID", "orvist.CQdHelpJavaHelpSettings"}}},
      {"ProgID\\QDHELP.QdHelpButtonCtrl.1", {{"CLSID", PLTGuidToString(HLPcControlClsid)}}},
      {"ProgID\\QDHELP.QdHelpButtonPropPage.1", {{"CLSID", PLTGuidToString(HLPcGeneralPageClsid)}}},
      {"ProgID\\orvist.CQdHelpJavaHelpSettings", {{"CLSID", PLTGuidToString(HLPcJavaHelpPageClsid)}}},
  };
  // clang-format on
  EXPECT_EQ(s, expected);

  // Creation through the registry: dlopen of the registered library, its
  // DllGetClassObject, the factory, the object. No fallback folder.
  TPLTCreationContext context{TPLTComponentRegistry(path), dir.file("none")};
  {
    TPLTComPtr<IPLTDispatch> byProgId;
    ASSERT_EQ(PLTCreateInstanceByProgId(HLPcControlProgId, IPLTDispatch::PLTcIID, byProgId.Out(),
                                        context),
              PLT_S_OK);
    std::vector<int32_t> ids;
    EXPECT_EQ(byProgId->PLTGetIDsOfNames({u"ShowJavaHelpTopic"}, ids), PLT_S_OK);
    EXPECT_EQ(ids, std::vector<int32_t>{29});
    EXPECT_TRUE(byProgId.Query<IHLPControl>());
    TPLTComPtr<IPLTUnknown> page;
    EXPECT_EQ(PLTCreateInstance(HLPcGeneralPageClsid, PLTcIID_IUnknown, page.Out(), context),
              PLT_S_OK);
    EXPECT_EQ(DllCanUnloadNow(), PLT_S_FALSE);
  }
  EXPECT_EQ(DllCanUnloadNow(), PLT_S_OK);

  EXPECT_EQ(RunTool(path, "--unregister '" + cLibrary + "'", &status),
            "DllUnregisterServer " + cLibrary + ": 0x00000000\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadWithConfigParser(path), TSections{});
  TPLTComPtr<IPLTDispatch> gone;
  EXPECT_EQ(PLTCreateInstanceByProgId(HLPcControlProgId, PLTcIID_IDispatch, gone.Out(), context),
            PLT_CO_E_CLASSSTRING);
  // Nothing left to unregister: the type-library step fails first.
  EXPECT_EQ(RunTool(path, "--unregister '" + cLibrary + "'", &status),
            "DllUnregisterServer " + cLibrary + ": 0x80040200\n");
  EXPECT_EQ(status, 1);
}

TEST(BrontelRegistration, EachStepsFailureStopsThere) {
  test::TempDir dir;
  const std::string path = dir.file("components.ini");
  test::WriteFile(dir.file("plain"), "");
  const std::set<std::string> all{cTypeLib,
                                  cControl,
                                  cGeneral,
                                  cJava,
                                  "ProgID\\QDHELP.QdHelpButtonCtrl.1",
                                  "ProgID\\QDHELP.QdHelpButtonPropPage.1",
                                  "ProgID\\orvist.CQdHelpJavaHelpSettings"};
  std::set<std::string> classes = all;
  classes.erase(cTypeLib);
  struct Case {
    const char* what;
    bool registered;     // registered whole before the step
    bool removeTypeLib;  // then the type library removed
    bool unregister;
    int failAt;  // the save that fails, 0 for none
    PLTResult result;
    std::set<std::string> left;
  };
  const Case cases[] = {
      {"register, type library write fails", false, false, false, 1, PLT_SELFREG_E_TYPELIB, {}},
      {"register, class write fails", false, false, false, 2, PLT_SELFREG_E_CLASS, {cTypeLib}},
      {"unregister, type library write fails", true, false, true, 1, PLT_SELFREG_E_TYPELIB, all},
      {"unregister, class write fails", true, false, true, 2, PLT_SELFREG_E_CLASS, classes},
      {"unregister without type library", true, true, true, 0, PLT_SELFREG_E_TYPELIB, classes},
  };
  for (const Case& c : cases) {
    std::remove(path.c_str());
    if (c.registered) {
      TPLTComponentRegistry plain(path);
      ASSERT_EQ(HLPRegisterServer(plain, cLibrary), PLT_S_OK);
      if (c.removeTypeLib) {
        ASSERT_EQ(plain.PLTUnregisterTypeLib(HLPcLibId, "1.0"), 0);
      }
    }
    TFailingRegistry registry(path, c.failAt);
    const PLTResult r =
        c.unregister ? HLPUnregisterServer(registry) : HLPRegisterServer(registry, cLibrary);
    EXPECT_EQ(r, c.result) << c.what;
    EXPECT_EQ(registry.saves, c.failAt == 0 ? 0 : c.failAt) << c.what;
    std::set<std::string> left;
    for (const auto& [name, keys] : ReadWithConfigParser(path)) left.insert(name);
    EXPECT_EQ(left, c.left) << c.what;
  }
  // Registry folders where nothing can be created, for root as well: one
  // below a plain file, and a read-only system folder.
  for (const std::string& where :
       {dir.file("plain/components.ini"), std::string("/proc/self/components.ini")}) {
    TPLTComponentRegistry unwritable(where);
    EXPECT_EQ(HLPRegisterServer(unwritable, cLibrary), PLT_SELFREG_E_TYPELIB) << where;
    EXPECT_EQ(HLPUnregisterServer(unwritable), PLT_SELFREG_E_TYPELIB) << where;
  }
}

TEST(BrontelClassObjects, FactoriesLocksAndUnknownClasses) {
  EXPECT_EQ(DllCanUnloadNow(), PLT_S_OK);
  void* object = &object;
  for (const TPLTGuid& unknown : {HLPcFontPageClsid, HLPcLibId, TPLTGuid{}}) {
    EXPECT_EQ(DllGetClassObject(unknown, PLTcIID_IClassFactory, &object),
              PLT_CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
  }
  TPLTComPtr<IPLTClassFactory> factory;
  ASSERT_EQ(DllGetClassObject(HLPcControlClsid, PLTcIID_IClassFactory, factory.Out()), PLT_S_OK);
  EXPECT_EQ(DllCanUnloadNow(), PLT_S_FALSE);
  EXPECT_EQ(factory->PLTLockServer(true), PLT_S_OK);
  factory.Reset();
  EXPECT_EQ(DllCanUnloadNow(), PLT_S_FALSE);  // locked
  ASSERT_EQ(DllGetClassObject(HLPcJavaHelpPageClsid, PLTcIID_IClassFactory, factory.Out()),
            PLT_S_OK);
  EXPECT_EQ(factory->PLTLockServer(false), PLT_S_OK);
  TPLTComPtr<IPLTUnknown> page;
  EXPECT_EQ(factory->PLTCreateInstance(factory.Get(), PLTcIID_IUnknown, page.Out()),
            PLT_CLASS_E_NOAGGREGATION);
  EXPECT_EQ(factory->PLTCreateInstance(nullptr, PLTcIID_IClassFactory, page.Out()),
            PLT_E_NOINTERFACE);
  EXPECT_EQ(factory->PLTCreateInstance(nullptr, PLTcIID_IUnknown, page.Out()), PLT_S_OK);
  factory.Reset();
  EXPECT_EQ(DllCanUnloadNow(), PLT_S_FALSE);  // the page lives
  page.Reset();
  EXPECT_EQ(DllCanUnloadNow(), PLT_S_OK);
}

TEST(BrontelCreation, UnregisteredClassesComeFromTheFallbackFolder) {
  test::TempDir dir;
  const std::string path = dir.file("components.ini");
  TPLTComPtr<IPLTDispatch> control;
  EXPECT_EQ(PLTCreateInstance(HLPcControlClsid, PLTcIID_IDispatch, control.Out(),
                              {TPLTComponentRegistry(path), HLP_BRONTEL_DIR}),
            PLT_S_OK);
  EXPECT_TRUE(control);
  EXPECT_EQ(PLTCreateInstance(HLPcControlClsid, PLTcIID_IDispatch, control.Out(),
                              {TPLTComponentRegistry(path), dir.path()}),
            PLT_REGDB_E_CLASSNOTREG);
  // A registered library that cannot be loaded, or has no entry point.
  TPLTComponentRegistry registry(path);
  auto entry = [](const std::string& library) {
    TPLTClassEntry e;
    e.clsid = HLPcControlClsid;
    e.libraryPath = library;
    return e;
  };
  const TPLTClassEntry missing = entry(dir.file("missing.so"));
  ASSERT_EQ(registry.PLTRegisterClasses({missing}), 0);
  EXPECT_EQ(PLTCreateInstance(HLPcControlClsid, PLTcIID_IDispatch, control.Out(),
                              {registry, HLP_BRONTEL_DIR}),
            PLT_CO_E_DLLNOTFOUND);
  EXPECT_NE(PLTLastCreationError().find("missing.so"), std::string::npos);
  const TPLTClassEntry noEntry = entry(HLP_RECORDING_MODULE);
  ASSERT_EQ(registry.PLTRegisterClasses({noEntry}), 0);
  EXPECT_EQ(PLTCreateInstance(HLPcControlClsid, PLTcIID_IDispatch, control.Out(),
                              {registry, HLP_BRONTEL_DIR}),
            PLT_CO_E_ERRORINDLL);
}

std::string TakePopupRecording() {
  void* handle = ::dlopen(HLP_POPUP_COMPONENT, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return "(popup component not loaded)";
  auto take = reinterpret_cast<const char* (*)()>(::dlsym(handle, "HLPTakePopupRecording"));
  std::string lines = take ? take() : "(no HLPTakePopupRecording)";
  ::dlclose(handle);
  return lines;
}

TEST(BrontelCreation, ActivePopupsGoThroughTheComponentLayer) {
  test::TempDir dir;
  const std::string path = dir.file("components.ini");
  TPLTComponentRegistry registry(path);
  const TPLTGuid popupClsid = PLTGuid("{D94A3429-E251-43D6-91A0-D980D35F7C89}");
  TPLTClassEntry popup;
  popup.clsid = popupClsid;
  popup.libraryPath = HLP_POPUP_COMPONENT;
  popup.progId = THLPHelpEngine::HLPcPopupProgId;
  ASSERT_EQ(registry.PLTRegisterClasses({popup}), 0);

  test::TRecordingPresenter presenter;
  test::TFixedCursor cursor;
  THLPComponentPopupFactory popups({registry, dir.path()});
  THLPHelpEngine engine({presenter, cursor, popups}, HLP_RECORDING_MODULE);
  test::WriteFile(dir.file("help.map"),
                  "[OPTIONS]\nCompiled File=kal.chm\n[MAP]\n5=pop.htm;width:300 height:-2\n");
  engine.HLPSetRequest(dir.file("help.map"), 5, "", 0);
  engine.HLPActivePopup(false);
  EXPECT_EQ(TakePopupRecording(), "invoke 1 1 BSTR:mk:@MSITStore:" + dir.file("kal.chm") +
                                      "::/pop.htm|I2:0|I2:300|I2:-2\nreleased\n");
  EXPECT_TRUE(presenter.messages.empty());
}

}  // namespace
}  // namespace kal
