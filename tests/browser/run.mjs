// Runs one browser test file for CTest: node run.mjs <file>.test.mjs
// Exits 77 (CTest's skip) with a message when there is no Chromium to drive, and for a file named
// *_postgres.test.mjs when there is no private PostgreSQL cluster (FOLIREX_PG_SERVER, which
// ./test.sh always provides); a missing playwright-core is a failure, since the test script
// installs it.
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const file = process.argv[2];
if (!file) {
  console.error('usage: node run.mjs <file>.test.mjs');
  process.exit(2);
}

const chromium = process.env.FOLIREX_CHROMIUM || '/usr/bin/chromium';
if (!fs.existsSync(chromium)) {
  console.log(`SKIPPED: no Chromium at ${chromium} (install the Debian package chromium)`);
  process.exit(77);
}
if (file.endsWith('_postgres.test.mjs') && !process.env.FOLIREX_PG_SERVER) {
  console.log('SKIPPED: FOLIREX_PG_SERVER is not set: ./test.sh starts a PostgreSQL cluster ' +
    'for the PostgreSQL tests');
  process.exit(77);
}
if (!fs.existsSync(path.join(here, 'node_modules', 'playwright-core', 'package.json'))) {
  console.error(`playwright-core is not installed: run "npm ci" in ${here}`);
  process.exit(1);
}
if (!process.env.FOLIREX_BIN || !fs.existsSync(process.env.FOLIREX_BIN)) {
  console.error(`FOLIREX_BIN does not name the built folirex program: "${process.env.FOLIREX_BIN}"`);
  process.exit(1);
}

const result = spawnSync(process.execPath, ['--test', path.resolve(here, file)], {
  cwd: here,
  stdio: 'inherit',
  env: process.env,
});
process.exit(result.status === null ? 1 : result.status);
