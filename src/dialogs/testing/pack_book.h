// Test helper: the stock documents of a packaging declaration, worked by hand, added to a
// book of code "T" (the sample book of the data tests, with or without the handlers' and
// dialogs' rows: the identifiers here start at 101).
#ifndef QTS_DIALOGS_TESTING_PACK_BOOK_H_
#define QTS_DIALOGS_TESTING_PACK_BOOK_H_

#include <string>
#include <vector>

#include "db/connection.h"
#include "host/schema/testing/seed.h"

namespace qts::dialogs::testing {

// A small book of the second quarter of 2026 worked by hand. Goods (category 0; weights per
// unit "vnt", rate 1):
//   PD  domestic, sub-category 80, type 1, 2 kg net / 2.5 kg gross      (POP)
//   PF  foreign,  sub-category 80, type 1, 4 kg / 5 kg                   (PLA)
//   PX  foreign,  sub-category 80, type 1, weighed in pounds: weighs 0   (PLA)
//   PT  foreign,  type 2, 1000 g / 1500 g                                (STI)
//   PDT domestic, type 3, 10 kg / 12 kg                                  (MED)
//   RD  domestic, reusable, type 1, 1 kg / 3 kg                          (PLA)
//   RD3 domestic, reusable, type 3, 0.01 t / 0.03 t                      (MED)
//   RF  foreign,  reusable, type 1, 2 kg / 2.4 kg                        (PET)
//   RF3 foreign,  reusable, type 3, 5 kg / 7 kg                          (MED)
// Purchases (PISF): 101 under VAT direction 10 (PF 100, PT 50, RF 20), 102 under 30 (PD 40,
// RD 10), 103 with no direction at all (PD 5), 105 a return from customer C1 under 30 (RF 7,
// RF3 2, RD 1).
// Sales (PRSF): 201 under 30 -- PD 30 linked 20 to 102 and 5 to 103 (5 not linked), PF 60
// linked to 101, RD 4 linked to 102, RF 5 linked to 101; 202 under 20 -- PF 30 and RF 10
// linked to 101, PX 5; 203 with no direction -- PD 2, not linked.
// Sales of products (TPPR): 301 under 30 -- PDT 10, PT 20 linked to 101 and packing the PF row
// of 201; 302 under 20 -- PT 10 linked to 101; 303 under 30 -- RD3 6, RF3 8; 304 under 10 --
// RF3 3.
// Outside the declaration: 401 dated in July, 402 not posted.
inline void SeedDeclarationBook(db::Connection& c) {
  const std::vector<std::string> statements = {
      R"(INSERT INTO "T$REFGood"("Code","Name","Category","SubCategory","IsDomManufact") VALUES
         ('PD','Dėžė',0,80,1),('PF','Maišelis',0,80,0),('PX','Svarų maišelis',0,80,0),
         ('PT','Stiklainis',0,0,0),('PDT','Padėklas',0,0,1),('RD','Dėžė daugkartinė',0,0,1),
         ('RD3','Padėklas daugkartinis',0,0,1),('RF','Butelis',0,0,0),
         ('RF3','Konteineris',0,0,0))",
      R"(INSERT INTO "T$REFGoodUnit"("GoodCode","UnitCode","Rate","IsAccount","Weight",
         "GrossWeight","UnitWeightCode","PackMaterialKind","PackType","IsReusable") VALUES
         ('PD','vnt',1,1,2,2.5,'kg','POP',1,0),('PF','vnt',1,1,4,5,'KG','PLA',1,0),
         ('PX','vnt',1,1,4,5,'lb','PLA',1,0),('PT','vnt',1,1,1000,1500,'g','STI',2,0),
         ('PDT','vnt',1,1,10,12,'kg','MED',3,0),('RD','vnt',1,1,1,3,'kg','PLA',1,1),
         ('RD3','vnt',1,1,0.01,0.03,'t','MED',3,1),('RF','vnt',1,1,2,2.4,'kg','PET',1,1),
         ('RF3','vnt',1,1,5,7,'kg','MED',3,1))",
      R"(INSERT INTO "T$THDocument"("IDC","DocTypeCode","Number","DocumentDate","IsPosted")
         VALUES (101,'PISF','P101','2026-04-01',1),(102,'PISF','P102','2026-04-02',1),
         (103,'PISF','P103','2026-04-03',1),(105,'PISF','P105','2026-06-10',1),
         (201,'PRSF','S201','2026-05-01',1),(202,'PRSF','S202','2026-05-02',1),
         (203,'PRSF','S203','2026-05-03',1),(301,'TPPR','T301','2026-06-01',1),
         (302,'TPPR','T302','2026-06-02',1),(303,'TPPR','T303','2026-06-03',1),
         (304,'TPPR','T304','2026-06-04',1),(401,'PRSF','S401','2026-07-01',1),
         (402,'PRSF','S402','2026-05-05',0))",
      R"(INSERT INTO "T$PISFTHDocument"("DocID","VATDirection") VALUES (101,'10'),(102,'30'),
         (105,'30'))",
      R"(INSERT INTO "T$PRSFTHDocument"("DocID","VATDirection") VALUES (201,'30'),(202,'20'),
         (401,'20'),(402,'20'))",
      R"(INSERT INTO "T$TPPRTHDocument"("DocID","VATDirection") VALUES (301,'30'),(302,'20'),
         (303,'30'),(304,'10'))",
      R"(INSERT INTO "T$THPartyAttribute"("DocID","RolePartyCode","PartyCode","PartyKind")
         VALUES (105,'PAR','C1',1),(105,'CUST','C1',1),(101,'PAR','C2',1))",
      R"(INSERT INTO "T$THGoodSpec"("IDC","DocID","PosNumb","GoodCode","UnitCode","Amount",
         "AmountAccount") VALUES
         (1011,101,1,'PF','vnt',100,100),(1012,101,2,'PT','vnt',50,50),
         (1013,101,3,'RF','vnt',20,20),(1021,102,1,'PD','vnt',40,40),
         (1022,102,2,'RD','vnt',10,10),(1031,103,1,'PD','vnt',5,5),
         (1051,105,1,'RF','vnt',7,7),(1052,105,2,'RF3','vnt',2,2),(1053,105,3,'RD','vnt',1,1),
         (2011,201,1,'PD','vnt',30,30),(2012,201,2,'PF','vnt',60,60),
         (2013,201,3,'RD','vnt',4,4),(2014,201,4,'RF','vnt',5,5),
         (2021,202,1,'PF','vnt',30,30),(2022,202,2,'RF','vnt',10,10),
         (2023,202,3,'PX','vnt',5,5),(2031,203,1,'PD','vnt',2,2),
         (3011,301,1,'PDT','vnt',10,10),(3012,301,2,'PT','vnt',20,20),
         (3021,302,1,'PT','vnt',10,10),(3031,303,1,'RD3','vnt',6,6),
         (3032,303,2,'RF3','vnt',8,8),(3041,304,1,'RF3','vnt',3,3),
         (4011,401,1,'PF','vnt',1,1),(4021,402,1,'PF','vnt',1,1))",
      R"(INSERT INTO "T$THGoodSpecFixLog"("GoodCode","OutcomeSpecID","IncomeSpecID","Amount")
         VALUES ('PD',2011,1021,20),('PD',2011,1031,5),('PF',2012,1011,60),
         ('RD',2013,1022,4),('RF',2014,1013,5),('PF',2021,1011,30),('RF',2022,1013,10),
         ('PT',3012,1012,20),('PT',3021,1012,10))",
      R"(INSERT INTO "T$REFPackMaterialKind"("Code","Name") VALUES ('POP','Popierius'),
         ('PLA','Plastikas'),('STI','Stiklas'),('MED','Medis'),('PET','PET'))",
      R"(INSERT INTO "T$REFUnit"("Code","Name") VALUES ('vnt','vienetai'))",
      R"(INSERT INTO "T$REFPackType"("Code","Name") VALUES (1,'Pirminė'),(2,'Antrinė'),
         (3,'Transportinė'))",
      R"(INSERT INTO "T$THGoodContent"("SpecId","CorSpecID","GoodCode","AmountAccount")
         VALUES (3012,2012,'PT',20))",
  };
  for (const std::string& sql : statements) host::schema::testing::Seed(c, sql);
}

}  // namespace qts::dialogs::testing

#endif  // QTS_DIALOGS_TESTING_PACK_BOOK_H_
