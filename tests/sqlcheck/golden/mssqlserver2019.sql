-- SQLCreateIndex 1: Transact-SQL reference, CREATE INDEX (Transact-SQL)
CREATE UNIQUE NONCLUSTERED INDEX [IX_ORDERS_QTY] ON [S1].[ORDERS] ([QTY] DESC,[ID])
-- SQLCreateFKConstraint 1: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [S1].[ORDERS] ADD CONSTRAINT [CK_ORDERS] FOREIGN KEY ([CUSTOMER_ID]) REFERENCES [S1].[CUSTOMERS] ([ID]) ON DELETE CASCADE ON UPDATE NO ACTION
-- SQLCreateDomain 1: Transact-SQL reference, system stored procedure sp_addtype
EXEC sp_addtype N'D_QTY', INT,'NULL'
-- SQLCreateDomain 2: Transact-SQL reference, CREATE RULE (Transact-SQL)
CREATE RULE [D_QTY_RULE] AS @value > 0
-- SQLCreateDomain 3: Transact-SQL reference, system stored procedure sp_bindrule
EXEC sp_bindrule N'[D_QTY_RULE]', N'[S1].[D_QTY]'
-- SQLCreateDomain 4: Transact-SQL reference, CREATE DEFAULT (Transact-SQL)
CREATE DEFAULT [D_QTY_DFT] AS 0
-- SQLCreateDomain 5: Transact-SQL reference, system stored procedure sp_bindefault
EXEC sp_bindefault N'[D_QTY_DFT]', N'[S1].[D_QTY]'
-- SQLCreateType 1: Transact-SQL reference, CREATE TYPE (Transact-SQL)
CREATE TYPE [S1].[D_QTY] FROM INT
-- SQLCreateType 2: Transact-SQL reference, CREATE RULE (Transact-SQL)
CREATE RULE [D_QTY_RULE] AS @value > 0
-- SQLCreateType 3: Transact-SQL reference, system stored procedure sp_bindrule
EXEC sp_bindrule N'[D_QTY_RULE]', N'[S1].[D_QTY]'
-- SQLCreateType 4: Transact-SQL reference, CREATE DEFAULT (Transact-SQL)
CREATE DEFAULT [D_QTY_DFT] AS 0
-- SQLCreateType 5: Transact-SQL reference, system stored procedure sp_bindefault
EXEC sp_bindefault N'[D_QTY_DFT]', N'[S1].[D_QTY]'
-- SQLCreateTrigger 1: Transact-SQL reference, CREATE TRIGGER (Transact-SQL)
CREATE TRIGGER [S1].[TR_ORDERS] ON [S1].[ORDERS] AFTER INSERT AS
BEGIN
  SET NOCOUNT ON;
END
-- SQLCreateSequence 1: Transact-SQL reference, CREATE SEQUENCE (Transact-SQL)
CREATE SEQUENCE [S1].[SEQ_ORDERS] AS BIGINT START WITH 1 INCREMENT BY 1 MINVALUE 1 MAXVALUE 1000000 NO CYCLE CACHE 20
-- SQLCreateProcedure 1: Transact-SQL reference, CREATE PROCEDURE (Transact-SQL)
CREATE PROCEDURE [S1].[P_ORDERS] AS
BEGIN
  SELECT COUNT(*) FROM [S1].[ORDERS];
END
-- SQLCreateRule 1: Transact-SQL reference, CREATE RULE (Transact-SQL)
CREATE RULE [S1].[R_POSITIVE] AS @value > 0
-- SQLBeforeInsertData 1: Transact-SQL reference, IF (Transact-SQL)
IF OBJECTPROPERTY(OBJECT_ID(N'[S1].[ORDERS]'), 'TableHasIdentity') = 1 SET IDENTITY_INSERT [S1].[ORDERS] ON
-- SQLAfterInsertData 1: Transact-SQL reference, IF (Transact-SQL)
IF OBJECTPROPERTY(OBJECT_ID(N'[S1].[ORDERS]'), 'TableHasIdentity') = 1 SET IDENTITY_INSERT [S1].[ORDERS] OFF
-- SQLDropConstraint 1: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [S1].[ORDERS] DROP CONSTRAINT [CK_ORDERS]
-- SQLDropPKConstraint 1: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [S1].[ORDERS] DROP CONSTRAINT [CK_ORDERS]
-- SQLDropFKConstraint 1: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [S1].[ORDERS] DROP CONSTRAINT [CK_ORDERS]
-- SQLDropUniqueConstraint 1: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [S1].[ORDERS] DROP CONSTRAINT [CK_ORDERS]
-- SQLDropCheckConstraint 1: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [S1].[ORDERS] DROP CONSTRAINT [CK_ORDERS]
-- SQLDropDefaultConstraint 1: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [S1].[ORDERS] DROP CONSTRAINT [CK_ORDERS]
-- SQLDropDomain 1: Transact-SQL reference, system stored procedure sp_unbindrule
EXEC sp_unbindrule N'[S1].[D_QTY]'
-- SQLDropDomain 2: Transact-SQL reference, system stored procedure sp_unbindefault
EXEC sp_unbindefault N'[S1].[D_QTY]'
-- SQLDropDomain 3: Transact-SQL reference, system stored procedure sp_droptype
EXEC sp_droptype N'D_QTY'
-- SQLDropDomain 4: Transact-SQL reference, DROP RULE (Transact-SQL)
DROP RULE [D_QTY_RULE]
-- SQLDropDomain 5: Transact-SQL reference, DROP DEFAULT (Transact-SQL)
DROP DEFAULT [D_QTY_DFT]
-- SQLDropType 1: Transact-SQL reference, system stored procedure sp_unbindrule
EXEC sp_unbindrule N'[S1].[D_QTY]'
-- SQLDropType 2: Transact-SQL reference, system stored procedure sp_unbindefault
EXEC sp_unbindefault N'[S1].[D_QTY]'
-- SQLDropType 3: Transact-SQL reference, DROP TYPE (Transact-SQL)
DROP TYPE [S1].[D_QTY]
-- SQLDropType 4: Transact-SQL reference, DROP RULE (Transact-SQL)
DROP RULE [D_QTY_RULE]
-- SQLDropType 5: Transact-SQL reference, DROP DEFAULT (Transact-SQL)
DROP DEFAULT [D_QTY_DFT]
-- SQLDropTrigger 1: Transact-SQL reference, DROP TRIGGER (Transact-SQL)
DROP TRIGGER [S1].[TR_ORDERS]
-- SQLDropSequence 1: Transact-SQL reference, DROP SEQUENCE (Transact-SQL)
DROP SEQUENCE [S1].[SEQ_ORDERS]
-- SQLDropRule 1: Transact-SQL reference, DROP RULE (Transact-SQL)
DROP RULE [S1].[R_POSITIVE]
-- SQLAddFKConstraint 1: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [S1].[ORDERS] ADD CONSTRAINT [CK_ORDERS] FOREIGN KEY ([CUSTOMER_ID]) REFERENCES [S1].[CUSTOMERS] ([ID]) ON DELETE CASCADE ON UPDATE NO ACTION
-- SQLModifyColumnDropDefault 1: Transact-SQL reference, DECLARE (Transact-SQL)
DECLARE @name sysname = (SELECT name FROM sys.default_constraints WHERE parent_object_id = OBJECT_ID(N'[S1].[ORDERS]') AND parent_column_id = COLUMNPROPERTY(OBJECT_ID(N'[S1].[ORDERS]'), N'QTY', 'ColumnId'));
IF @name IS NOT NULL EXEC (N'ALTER TABLE [S1].[ORDERS] DROP CONSTRAINT ' + QUOTENAME(@name))
-- SQLModifyDomainSetDefault 1: Transact-SQL reference, CREATE DEFAULT (Transact-SQL)
CREATE DEFAULT [D_QTY_DFT] AS 0
-- SQLModifyDomainSetDefault 2: Transact-SQL reference, system stored procedure sp_bindefault
EXEC sp_bindefault N'[D_QTY_DFT]', N'[S1].[D_QTY]'
-- SQLModifyDomainDropDefault 1: Transact-SQL reference, system stored procedure sp_unbindefault
EXEC sp_unbindefault N'[S1].[D_QTY]'
-- SQLModifyDomainDropDefault 2: Transact-SQL reference, DROP DEFAULT (Transact-SQL)
DROP DEFAULT [D_QTY_DFT]
-- SQLModifyDomainDropCheck 1: Transact-SQL reference, system stored procedure sp_unbindrule
EXEC sp_unbindrule N'[S1].[D_QTY]'
-- SQLModifyDomainDropCheck 2: Transact-SQL reference, DROP RULE (Transact-SQL)
DROP RULE [D_QTY_RULE]
-- SQLModifyDomainAddCheck 1: Transact-SQL reference, CREATE RULE (Transact-SQL)
CREATE RULE [D_QTY_RULE] AS @value > 0
-- SQLModifyDomainAddCheck 2: Transact-SQL reference, system stored procedure sp_bindrule
EXEC sp_bindrule N'[D_QTY_RULE]', N'[S1].[D_QTY]'
-- SQLRenameTable 1: Transact-SQL reference, system stored procedure sp_rename
EXEC sp_rename N'[S1].[ORDERS_OLD]', N'ORDERS'
-- SQLRenameColumn 1: Transact-SQL reference, system stored procedure sp_rename
EXEC sp_rename N'[S1].[ORDERS].[AMOUNT]', N'QTY', N'COLUMN'
-- SQLRenameDomain 1: Transact-SQL reference, system stored procedure sp_rename
EXEC sp_rename N'[S1].[D_AMOUNT]', N'D_QTY', N'USERDATATYPE'
-- SQLEnableTrigger 1: Transact-SQL reference, ENABLE (Transact-SQL)
ENABLE TRIGGER [S1].[TR_ORDERS] ON [S1].[ORDERS]
-- SQLDisableTrigger 1: Transact-SQL reference, DISABLE (Transact-SQL)
DISABLE TRIGGER [S1].[TR_ORDERS] ON [S1].[ORDERS]
-- SQLEnableFKConstraint 1: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [S1].[ORDERS] WITH CHECK CHECK CONSTRAINT [CK_ORDERS]
-- SQLDisableFKConstraint 1: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [S1].[ORDERS] NOCHECK CONSTRAINT [CK_ORDERS]
-- SQLEnableCheckConstraint 1: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [S1].[ORDERS] WITH CHECK CHECK CONSTRAINT [CK_ORDERS]
-- SQLDisableCheckConstraint 1: Transact-SQL reference, ALTER TABLE (Transact-SQL)
ALTER TABLE [S1].[ORDERS] NOCHECK CONSTRAINT [CK_ORDERS]
-- SQLStartTransAction 1: Transact-SQL reference, BEGIN (Transact-SQL)
BEGIN TRANSACTION
-- SQLDropUnnamedColumnCheck 1: Transact-SQL reference, DECLARE (Transact-SQL)
DECLARE @name sysname = (SELECT TOP 1 name FROM sys.check_constraints WHERE parent_object_id = OBJECT_ID(N'[S1].[ORDERS]') AND parent_column_id = COLUMNPROPERTY(OBJECT_ID(N'[S1].[ORDERS]'), N'QTY', 'ColumnId'));
IF @name IS NOT NULL EXEC (N'ALTER TABLE [S1].[ORDERS] DROP CONSTRAINT ' + QUOTENAME(@name))
-- SQLRenameIndex 1: Transact-SQL reference, system stored procedure sp_rename
EXEC sp_rename N'[S1].[ORDERS].[IX_ORDERS_AMOUNT]', N'IX_ORDERS_QTY', N'INDEX'
-- SQLChangeTableSchema 1: Transact-SQL reference, ALTER SCHEMA (Transact-SQL)
ALTER SCHEMA [S1] TRANSFER [S1].[ORDERS_OLD]
-- SQLRenameConstraint 1: Transact-SQL reference, system stored procedure sp_rename
EXEC sp_rename N'S1.[CK_ORDERS_OLD]', N'CK_ORDERS', N'OBJECT'
-- SQLRenameFKConstraint 1: Transact-SQL reference, system stored procedure sp_rename
EXEC sp_rename N'S1.[CK_ORDERS_OLD]', N'CK_ORDERS', N'OBJECT'
