// A real site for the browser tests: `folirex init` in a temporary folder, then `folirex serve`
// on 127.0.0.1 with a port the system picks. The credentials are the ones init printed.
// The site keeps its rows in an SQLite file, or with `postgres` in a database of its own on the
// private PostgreSQL cluster that ./test.sh starts (FOLIREX_PG_SERVER, FOLIREX_PG_USER,
// FOLIREX_PG_PASSWORD; the server reaches it through the ODBCSYSINI the cluster script prints),
// dropped when the site stops.
import { execFileSync, spawn } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const START_TIMEOUT_MS = 20000;
const PG_SKIP_MESSAGE =
  'FOLIREX_PG_SERVER is not set: ./test.sh starts a PostgreSQL cluster for the PostgreSQL tests';

export function folirexBinary() {
  const bin = process.env.FOLIREX_BIN;
  if (!bin) throw new Error('FOLIREX_BIN is not set: it names the folirex program to test');
  return bin;
}

// The private cluster from the environment, or null when there is none.
export function postgresCluster() {
  const server = process.env.FOLIREX_PG_SERVER;
  if (!server) return null;
  const [host, port = '5432'] = server.split(':');
  return {
    server,
    host,
    port,
    user: process.env.FOLIREX_PG_USER || '',
    password: process.env.FOLIREX_PG_PASSWORD || '',
  };
}

// Why a test that needs the cluster is skipped, or false when it runs.
export function postgresSkipReason() {
  return postgresCluster() ? false : PG_SKIP_MESSAGE;
}

function psqlProgram() {
  const onPath = (process.env.PATH || '')
    .split(':')
    .map((d) => path.join(d, 'psql'))
    .find((f) => fs.existsSync(f));
  if (onPath) return onPath;
  const lib = '/usr/lib/postgresql';
  const versions = fs.existsSync(lib) ? fs.readdirSync(lib) : [];
  const found = versions
    .sort((a, b) => Number(b) - Number(a))
    .map((v) => `${lib}/${v}/bin/psql`)
    .find((f) => fs.existsSync(f));
  if (!found) throw new Error('psql is not installed (Debian package postgresql)');
  return found;
}

// Runs SQL on a database of the cluster; answers psql's unaligned output, which separates
// columns with "|" as the sqlite3 shell does.
function psql(cluster, database, statement) {
  return execFileSync(
    psqlProgram(),
    ['-X', '-q', '-A', '-t', '-v', 'ON_ERROR_STOP=1', '-h', cluster.host, '-p', cluster.port,
      '-U', cluster.user, '-d', database, '-c', statement],
    { encoding: 'utf8', env: { ...process.env, PGPASSWORD: cluster.password } },
  ).trim();
}

// `settings`: lines added to the site's folirex.conf before it is served. `postgres`: the site
// keeps its rows on the private cluster instead of in an SQLite file.
export async function startSite({ settings = '', postgres = false } = {}) {
  const bin = folirexBinary();
  const cluster = postgres ? postgresCluster() : null;
  if (postgres && !cluster) throw new Error(PG_SKIP_MESSAGE);
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'folirex-browser-'));
  const root = path.join(dir, 'site');
  let database = null;
  const dropDatabase = () => {
    if (database) psql(cluster, 'postgres', `DROP DATABASE IF EXISTS ${database} WITH (FORCE)`);
  };
  let printed;
  try {
    if (cluster) {
      database = `folirex_browser_${process.pid}_${crypto.randomInt(1e9)}`;
      psql(cluster, 'postgres', `CREATE DATABASE ${database}`);
      printed = execFileSync(
        bin,
        ['init', root, '--DbType', '1', '--DBServer', cluster.server, '--DBPath', database,
          '--DBUser', cluster.user, '--DBPwd', cluster.password],
        { encoding: 'utf8' },
      );
    } else {
      printed = execFileSync(bin, ['init', root], { encoding: 'utf8' });
    }
  } catch (error) {
    dropDatabase();
    fs.rmSync(dir, { recursive: true, force: true });
    throw error;
  }
  const server = { process: null };
  const stop = async () => {
    const child = server.process;
    if (child && child.exitCode === null && child.signalCode === null) {
      const ended = new Promise((resolve) => child.once('exit', resolve));
      child.kill('SIGTERM');
      const killer = setTimeout(() => child.kill('SIGKILL'), 10000);
      await ended;
      clearTimeout(killer);
    }
    try {
      dropDatabase();
    } finally {
      fs.rmSync(dir, { recursive: true, force: true });
    }
  };
  try {
    if (settings) fs.appendFileSync(path.join(root, 'folirex.conf'), settings);
    const adminName = /^Administrator:\s*(\S+)/m.exec(printed)?.[1];
    const adminPassword = /^Password:\s*(\S+)/m.exec(printed)?.[1];
    if (!adminName || !adminPassword) {
      throw new Error(`folirex init printed no credentials:\n${printed}`);
    }
    const base = await serve(bin, root, server);
    const file = path.join(root, 'data', 'site.db');
    return {
      root,
      base, // "http://127.0.0.1:PORT/"
      console: `${base}admin.asp`,
      adminName,
      adminPassword,
      postgres: Boolean(cluster),
      // Runs SQL straight on the site's database (seeding and checking); answers the CLI's
      // output. Unquoted names are the same in both: PostgreSQL folds them to its lower-case
      // tables, and yes/no columns hold -1 and 0 in both.
      sql(statement) {
        if (cluster) return psql(cluster, database, statement);
        return execFileSync('sqlite3', ['-cmd', '.timeout 10000', file, statement], {
          encoding: 'utf8',
        }).trim();
      },
      stop,
    };
  } catch (error) {
    await stop();
    throw error;
  }
}

// Starts `folirex serve` on the site (its process kept in `server.process`); answers the base
// address it printed once it listens.
function serve(bin, root, server) {
  const child = spawn(bin, ['serve', root, '--listen', '127.0.0.1:0'], {
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  server.process = child;
  let output = '';
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => {
      reject(new Error(`folirex serve did not start in time:\n${output}`));
    }, START_TIMEOUT_MS);
    const onExit = (code) => {
      clearTimeout(timer);
      reject(new Error(`folirex serve ended (${code}) before serving:\n${output}`));
    };
    child.stdout.on('data', (chunk) => {
      output += chunk.toString();
      const m = /console:\s*(http:\/\/\S+?)admin\.asp/.exec(output);
      if (m) {
        clearTimeout(timer);
        child.removeListener('exit', onExit);
        resolve(m[1]);
      }
    });
    child.stderr.on('data', (chunk) => {
      output += chunk.toString();
    });
    child.on('exit', onExit);
  });
}
