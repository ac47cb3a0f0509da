// The about box and the point-size fonts it draws with.
#include <gtest/gtest.h>

#include "resource.h"
#include "settings/settings.h"
#include "support/program_run.h"
#include "vdesktop.h"

namespace {

using progtest::ProgramTest;

class AboutBox : public ProgramTest {};

TEST_F(AboutBox, Probe) {
  vd::At(2000, [] {
    vd::At(3000, [] {
      vd::WritePng("/tmp/about.png");
    });
    DialogBoxParamA(vd::ModuleInstance(), MAKEINTRESOURCEA(IDD_ABOUT), MainWindow, AboutBoxProc, 0);
  });
  Run(4000);
}

}  // namespace
