#include <gtest/gtest.h>
#include "app/form1.h"
#include "support/test_host.h"
using namespace pictavo;
TEST(Smoke, Starts) {
  test::TestHost host(PathSyntax::Windows);
  Form1 form(host);
  form.Form_Load();
  EXPECT_EQ(form.c.lstCnt.text(), "0/0");
}
