// Parses SQL statements with node-sql-parser and reports what kind of statement each one is.
// Input and output as for check_sqlglot.py; the dialect is a database name of node-sql-parser
// (TransactSQL, DB2). The package is looked up in the folder given as the second argument.
'use strict';
const fs = require('fs');
const path = require('path');

const modules = path.join(process.argv[3], 'node_modules');
const { Parser } = require(path.join(modules, 'node-sql-parser'));
const parser = new Parser();

function kindOf(ast) {
  const type = String(ast.type || '').toUpperCase();
  const keyword = ast.keyword ? String(ast.keyword).toUpperCase() : '';
  if (type === 'ALTER') return 'ALTER ' + (keyword || 'TABLE');
  return keyword ? type + ' ' + keyword : type;
}

const text = fs.readFileSync(process.argv[2], 'utf8');
const out = [];
for (const record of text.split('\n\u001e\n')) {
  if (!record.trim()) continue;
  const newline = record.indexOf('\n');
  const [id, dialect] = record.slice(0, newline).split(' ');
  const sql = record.slice(newline + 1);
  let ok = 0;
  let kind = '';
  let error = '';
  try {
    let ast = parser.astify(sql, { database: dialect });
    if (Array.isArray(ast)) ast = ast.filter((a) => a);
    const list = Array.isArray(ast) ? ast : [ast];
    if (list.length !== 1) {
      error = list.length + ' statements';
    } else {
      ok = 1;
      kind = kindOf(list[0]);
    }
  } catch (e) {
    error = String(e.message).replace(/\s+/g, ' ').slice(0, 200);
  }
  out.push([id, ok, kind, error].join('\t'));
}
process.stdout.write(out.join('\n') + '\n');
