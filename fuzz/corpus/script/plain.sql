SET TERM ^ ;
CREATE PROCEDURE p AS BEGIN x = 1; END^
SET TERM ; ^
SELECT 'a''b', "c;d", [e f] FROM t; -- c
/* x */ {y} REM z
