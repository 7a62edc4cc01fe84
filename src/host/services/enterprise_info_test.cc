#include "host/services/enterprise_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/error.h"
#include "host/data/app_context.h"
#include "host/data/testing/sample_book.h"
#include "host/sample/sample_book.h"
#include "host/schema/testing/seed.h"
#include "host/services/person_info.h"

namespace qts::host {
namespace {

// The sample book with an enterprise described in its settings, persons and departments. The
// department "S1" shares its code with a store.
class EnterpriseTest : public testing::SampleBook {
 protected:
  void SetUp() override {
    SampleBook::SetUp();
    qts::host::schema::testing::Seed(
        book_->Connection(),
        R"(INSERT INTO "T$REFPerson"("Code","Name","FirstName","LastName","Position","UserId")
           VALUES ('D1','Director','Jonas','Petraitis','Direktorius',1),
                  ('P2','Only first','Ona',NULL,'Buhalterė',NULL),
                  ('P3','Only last',NULL,'Kairys',NULL,3),
                  ('O''B','Quoted','Seán','O''Brien','Vairuotojas',4))");
    qts::host::schema::testing::Seed(
        book_->Connection(),
        R"(INSERT INTO "T$REFDepartment"("Code","Name") VALUES ('ADM','Administracija'),
           ('S1','Pirmas skyrius'))");
    const std::vector<std::pair<const char*, const char*>> settings = {
        {"EnterpriseName", "UAB \"Testas\""}, {"PlantCode", "300000001"},
        {"VatCode", "LT000000001"},           {"DirectorCode", "D1"},
        {"Address", "Gatvė 1, Vilnius"},      {"Phone", "+370 5 000 0000"},
        {"Fax", "+370 5 000 0001"},           {"Email", "info@testas.lt"}};
    for (const auto& [name, value] : settings) {
      book_->Settings().Item(name).SetValue(Variant(value));
    }
    info_->Init(book_);
  }

  EnterpriseInfoPtr info_ = std::make_shared<EnterpriseInfo>();
};

TEST_F(EnterpriseTest, AFreshObjectIsTheOwnEnterprise) {
  EXPECT_EQ(info_->Kind(), EnterpriseInfo::UnitKind::kEnterprise);
  EXPECT_EQ(info_->UnitCode(), "T");
  EXPECT_EQ(info_->UnitName(), "UAB \"Testas\"");
  EXPECT_EQ(info_->PlantCode(), "300000001");
  EXPECT_EQ(info_->VatCode(), "LT000000001");
  EXPECT_EQ(info_->DirectorCode(), "D1");
  auto contacts = info_->Contacts();
  EXPECT_EQ(contacts->AddressText(), "Gatvė 1, Vilnius");
  EXPECT_EQ(contacts->Phone(), "+370 5 000 0000");
  EXPECT_EQ(contacts->Fax(), "+370 5 000 0001");
  EXPECT_EQ(contacts->Email(), "info@testas.lt");
  PersonInfoPtr director = info_->Director();
  EXPECT_EQ(director->FullName(), "Jonas Petraitis");
  EXPECT_EQ(director->Position(), "Direktorius");
}

TEST_F(EnterpriseTest, LoadUnitNamesDepartmentsBeforeStoresAndKeepsTheEnterpriseData) {
  struct Case {
    const char* code;
    bool found;
    EnterpriseInfo::UnitKind kind;
    const char* name;
  };
  const std::vector<Case> cases = {
      {"ADM", true, EnterpriseInfo::UnitKind::kDepartment, "Administracija"},
      {"S2", true, EnterpriseInfo::UnitKind::kStore, "Second"},
      {"S1", true, EnterpriseInfo::UnitKind::kDepartment, "Pirmas skyrius"},
      {"adm", false, EnterpriseInfo::UnitKind::kNone, ""},  // codes are compared exactly
      {"X' OR '1'='1", false, EnterpriseInfo::UnitKind::kNone, ""},
      {"", true, EnterpriseInfo::UnitKind::kEnterprise, "UAB \"Testas\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(info_->LoadUnit(c.code), c.found);
    EXPECT_EQ(info_->Kind(), c.kind);
    EXPECT_EQ(info_->UnitCode(), *c.code == 0 ? "T" : c.code);
    EXPECT_EQ(info_->UnitName(), c.name);
    EXPECT_EQ(info_->PlantCode(), "300000001");
    EXPECT_EQ(info_->DirectorCode(), "D1");
  }
}

TEST_F(EnterpriseTest, ContactsAndDirectorFollowTheSettingsWhenAskedAgain) {
  auto before = info_->Contacts();
  book_->Settings().Item("Phone").SetValue(Variant("+370 600 00000"));
  book_->Settings().Item("DirectorCode").SetValue(Variant("NOBODY"));
  EXPECT_EQ(before->Phone(), "+370 5 000 0000");
  EXPECT_EQ(info_->Contacts()->Phone(), "+370 600 00000");
  PersonInfoPtr director = info_->Director();
  EXPECT_FALSE(director->IsLoaded());
  EXPECT_EQ(director->FullName(), "");
  EXPECT_EQ(director->Position(), "");
}

TEST_F(EnterpriseTest, MisuseIsRefused) {
  EnterpriseInfo fresh;
  EXPECT_THROW((void)fresh.LoadUnit("ADM"), Error);
  EXPECT_THROW((void)fresh.PlantCode(), Error);
  EXPECT_THROW(fresh.Init(nullptr), Error);
  EXPECT_THROW(fresh.Init(std::make_shared<AppContext>()), Error);
}

using PersonInfoTest = EnterpriseTest;

TEST_F(PersonInfoTest, LoadReadsThePersonAndFullNameSkipsEmptyParts) {
  struct Case {
    const char* code;
    const char* first;
    const char* last;
    const char* position;
    const char* full;
    int32_t user;
  };
  const std::vector<Case> cases = {
      {"D1", "Jonas", "Petraitis", "Direktorius", "Jonas Petraitis", 1},
      {"P2", "Ona", "", "Buhalterė", "Ona", 0},
      {"P3", "", "Kairys", "", "Kairys", 3},
      {"O'B", "Seán", "O'Brien", "Vairuotojas", "Seán O'Brien", 4},
  };
  PersonInfo person;
  person.Init(book_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    ASSERT_TRUE(person.Load(c.code));
    EXPECT_EQ(person.Code(), c.code);
    EXPECT_EQ(person.FirstName(), c.first);
    EXPECT_EQ(person.LastName(), c.last);
    EXPECT_EQ(person.Position(), c.position);
    EXPECT_EQ(person.FullName(), c.full);
    EXPECT_EQ(person.UserId(), c.user);
  }
}

TEST_F(PersonInfoTest, AnUnknownOrEmptyCodeClearsThePreviousPerson) {
  PersonInfo person;
  person.Init(book_);
  for (const char* code : {"NOBODY", "", "d1"}) {
    SCOPED_TRACE(code);
    ASSERT_TRUE(person.Load("D1"));
    EXPECT_FALSE(person.Load(code));
    EXPECT_FALSE(person.IsLoaded());
    EXPECT_EQ(person.Code(), code);
    EXPECT_EQ(person.FirstName(), "");
    EXPECT_EQ(person.LastName(), "");
    EXPECT_EQ(person.Position(), "");
    EXPECT_EQ(person.FullName(), "");
  }
  PersonInfo fresh;
  EXPECT_THROW((void)fresh.Load("D1"), Error);
}

// A generated sample book holds what the printed forms ask the enterprise for.
TEST(EnterpriseSampleBookTest, TheSampleCompanyHasItsIdentityDirectorAndContacts) {
  auto book = AppContext::CreateBook(":memory:", "QTS");
  sample::GenerateSampleBook(*book, sample::SampleSize::kSmall, 7);
  EnterpriseInfo info;
  info.Init(book);
  EXPECT_FALSE(info.UnitName().empty());
  EXPECT_FALSE(info.PlantCode().empty());
  EXPECT_FALSE(info.VatCode().empty());
  auto contacts = info.Contacts();
  for (const std::string& text :
       {contacts->AddressText(), contacts->Phone(), contacts->Fax(), contacts->Email()}) {
    EXPECT_FALSE(text.empty());
  }
  PersonInfoPtr director = info.Director();
  ASSERT_TRUE(director->IsLoaded());
  EXPECT_FALSE(director->FirstName().empty());
  EXPECT_FALSE(director->LastName().empty());
  EXPECT_FALSE(director->Position().empty());
  for (const char* unit : {"ADM", "GAM", "CS", "KS"}) {
    EXPECT_TRUE(info.LoadUnit(unit)) << unit;
    EXPECT_FALSE(info.UnitName().empty()) << unit;
  }
}

}  // namespace
}  // namespace qts::host
