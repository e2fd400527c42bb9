-- SQLCreateIndex 1: Db2 11.5 SQL reference, CREATE INDEX statement
CREATE UNIQUE INDEX "S1"."IX_ORDERS_QTY" ON "S1"."ORDERS" ("QTY" DESC,"ID") CLUSTER
-- SQLCreateDefaultConstraint 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" ALTER COLUMN "QTY" SET DEFAULT "QTY" >= 0
-- SQLCreateNotNullConstraint 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" ALTER COLUMN "QTY" SET NOT NULL
-- SQLCreateDomain 1: Db2 11.5 SQL reference, CREATE TYPE statement
CREATE TYPE "S1"."D_QTY" AS INTEGER WITH WEAK TYPE RULES CHECK (VALUE > 0)
-- SQLCreateTrigger 1: Db2 11.5 SQL reference, CREATE TRIGGER statement
CREATE OR REPLACE TRIGGER "S1"."TR_ORDERS" NO CASCADE BEFORE INSERT ON "S1"."ORDERS"
REFERENCING NEW AS N FOR EACH ROW
BEGIN ATOMIC
  SET N."QTY" = 0;
END
-- SQLCreateSequence 1: Db2 11.5 SQL reference, CREATE SEQUENCE statement
CREATE SEQUENCE "S1"."SEQ_ORDERS" AS BIGINT START WITH 1 INCREMENT BY 1 MINVALUE 1 MAXVALUE 1000000 NO CYCLE CACHE 20 NO ORDER
-- SQLCreateProcedure 1: Db2 11.5 SQL reference, CREATE PROCEDURE statement
CREATE OR REPLACE PROCEDURE "S1"."P_ORDERS" ()
LANGUAGE SQL
BEGIN
  DELETE FROM "S1"."ORDERS";
END
-- SQLCreateView 1: Db2 11.5 SQL reference, CREATE VIEW statement
CREATE VIEW "S1"."V_ORDERS" AS SELECT "ID", "QTY" FROM "S1"."ORDERS"
-- SQLDropConstraint 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" DROP CONSTRAINT "CK_ORDERS"
-- SQLDropPKConstraint 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" DROP PRIMARY KEY
-- SQLDropFKConstraint 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" DROP FOREIGN KEY "CK_ORDERS"
-- SQLDropUniqueConstraint 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" DROP UNIQUE "CK_ORDERS"
-- SQLDropCheckConstraint 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" DROP CHECK "CK_ORDERS"
-- SQLDropNotNullConstraint 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" ALTER COLUMN "QTY" DROP NOT NULL
-- SQLDropDefaultConstraint 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" ALTER COLUMN "QTY" DROP DEFAULT
-- SQLDropIndex 1: Db2 11.5 SQL reference, DROP INDEX statement
DROP INDEX "S1"."IX_ORDERS_QTY"
-- SQLDropDomain 1: Db2 11.5 SQL reference, DROP TYPE statement
DROP TYPE "S1"."D_QTY"
-- SQLDropTrigger 1: Db2 11.5 SQL reference, DROP TRIGGER statement
DROP TRIGGER "S1"."TR_ORDERS"
-- SQLDropSequence 1: Db2 11.5 SQL reference, DROP SEQUENCE statement
DROP SEQUENCE "S1"."SEQ_ORDERS"
-- SQLDropProcedure 1: Db2 11.5 SQL reference, DROP PROCEDURE statement
DROP PROCEDURE "S1"."P_ORDERS"
-- SQLDropView 1: Db2 11.5 SQL reference, DROP VIEW statement
DROP VIEW "S1"."V_ORDERS"
-- SQLDropTableComment 1: Db2 11.5 SQL reference, COMMENT statement
COMMENT ON TABLE "S1"."ORDERS" IS ''
-- SQLDropColumnComment 1: Db2 11.5 SQL reference, COMMENT statement
COMMENT ON COLUMN "S1"."ORDERS"."QTY" IS ''
-- SQLAddDefaultConstraint 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" ALTER COLUMN "QTY" SET DEFAULT "QTY" >= 0
-- SQLAddNotNullConstraint 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" ALTER COLUMN "QTY" SET NOT NULL
-- SQLAddColumnComment 1: Db2 11.5 SQL reference, COMMENT statement
COMMENT ON COLUMN "S1"."ORDERS"."QTY" IS 'Orders of the customers'
-- SQLAddTableComment 1: Db2 11.5 SQL reference, COMMENT statement
COMMENT ON TABLE "S1"."ORDERS" IS 'Orders of the customers'
-- SQLAddViewComment 1: Db2 11.5 SQL reference, COMMENT statement
COMMENT ON TABLE "S1"."V_ORDERS" IS 'Orders of the customers'
-- SQLAddProcedureComment 1: Db2 11.5 SQL reference, COMMENT statement
COMMENT ON PROCEDURE "S1"."P_ORDERS" IS 'Orders of the customers'
-- SQLAddSequenceComment 1: Db2 11.5 SQL reference, COMMENT statement
COMMENT ON SEQUENCE "S1"."SEQ_ORDERS" IS 'Orders of the customers'
-- SQLModifyColumnDataType 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" ALTER COLUMN "QTY" SET DATA TYPE INTEGER
-- SQLModifyColumnSetDefault 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" ALTER COLUMN "QTY" SET DEFAULT 0
-- SQLModifyColumnDropDefault 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" ALTER COLUMN "QTY" DROP DEFAULT
-- SQLModifyColumnSetNotNull 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" ALTER COLUMN "QTY" SET NOT NULL
-- SQLModifyColumnDropNotNull 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" ALTER COLUMN "QTY" DROP NOT NULL
-- SQLRenameColumn 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" RENAME COLUMN "AMOUNT" TO "QTY"
-- SQLModifyColumnComment 1: Db2 11.5 SQL reference, COMMENT statement
COMMENT ON COLUMN "S1"."ORDERS"."QTY" IS 'Orders of the customers'
-- SQLModifyTableComment 1: Db2 11.5 SQL reference, COMMENT statement
COMMENT ON TABLE "S1"."ORDERS" IS 'Orders of the customers'
-- SQLModifyViewComment 1: Db2 11.5 SQL reference, COMMENT statement
COMMENT ON TABLE "S1"."V_ORDERS" IS 'Orders of the customers'
-- SQLModifyProcedureComment 1: Db2 11.5 SQL reference, COMMENT statement
COMMENT ON PROCEDURE "S1"."P_ORDERS" IS 'Orders of the customers'
-- SQLModifySequenceComment 1: Db2 11.5 SQL reference, COMMENT statement
COMMENT ON SEQUENCE "S1"."SEQ_ORDERS" IS 'Orders of the customers'
-- SQLEnableFKConstraint 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" ALTER FOREIGN KEY "CK_ORDERS" ENFORCED
-- SQLDisableFKConstraint 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" ALTER FOREIGN KEY "CK_ORDERS" NOT ENFORCED
-- SQLEnableCheckConstraint 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" ALTER CHECK "CK_ORDERS" ENFORCED
-- SQLDisableCheckConstraint 1: Db2 11.5 SQL reference, ALTER TABLE statement
ALTER TABLE "S1"."ORDERS" ALTER CHECK "CK_ORDERS" NOT ENFORCED
-- SQLEndTransAction 1: Db2 11.5 SQL reference, COMMIT statement
COMMIT
-- SQLRenameIndex 1: Db2 11.5 SQL reference, RENAME statement
RENAME INDEX "S1"."IX_ORDERS_AMOUNT" TO "IX_ORDERS_QTY"
