// A real site for the browser tests: `folirex init` in a temporary folder, then `folirex serve`
// on 127.0.0.1 with a port the system picks. The credentials are the ones init printed.
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

const START_TIMEOUT_MS = 20000;

export function folirexBinary() {
  const bin = process.env.FOLIREX_BIN;
  if (!bin) throw new Error('FOLIREX_BIN is not set: it names the folirex program to test');
  return bin;
}

// `settings`: lines added to the site's folirex.conf before it is served.
export async function startSite({ settings = '' } = {}) {
  const bin = folirexBinary();
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'folirex-browser-'));
  const root = path.join(dir, 'site');
  const printed = execFileSync(bin, ['init', root], { encoding: 'utf8' });
  if (settings) fs.appendFileSync(path.join(root, 'folirex.conf'), settings);
  const adminName = /^Administrator:\s*(\S+)/m.exec(printed)?.[1];
  const adminPassword = /^Password:\s*(\S+)/m.exec(printed)?.[1];
  if (!adminName || !adminPassword) {
    throw new Error(`folirex init printed no credentials:\n${printed}`);
  }

  const server = spawn(bin, ['serve', root, '--listen', '127.0.0.1:0'], {
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  let output = '';
  const base = await new Promise((resolve, reject) => {
    const timer = setTimeout(() => {
      reject(new Error(`folirex serve did not start in time:\n${output}`));
    }, START_TIMEOUT_MS);
    const onData = (chunk) => {
      output += chunk.toString();
      const m = /console:\s*(http:\/\/\S+?)admin\.asp/.exec(output);
      if (m) {
        clearTimeout(timer);
        resolve(m[1]);
      }
    };
    server.stdout.on('data', onData);
    server.stderr.on('data', (chunk) => { output += chunk.toString(); });
    server.on('exit', (code) => {
      clearTimeout(timer);
      reject(new Error(`folirex serve ended (${code}) before serving:\n${output}`));
    });
  });
  server.removeAllListeners('exit');

  const database = path.join(root, 'data', 'site.db');
  return {
    root,
    base, // "http://127.0.0.1:PORT/"
    console: `${base}admin.asp`,
    adminName,
    adminPassword,
    // Runs SQL straight on the site's database (seeding and checking); answers the CLI's output.
    sql(statement) {
      return execFileSync('sqlite3', ['-cmd', '.timeout 10000', database, statement], {
        encoding: 'utf8',
      }).trim();
    },
    async stop() {
      if (server.exitCode === null) {
        const ended = new Promise((resolve) => server.once('exit', resolve));
        server.kill('SIGTERM');
        const killer = setTimeout(() => server.kill('SIGKILL'), 10000);
        await ended;
        clearTimeout(killer);
      }
      fs.rmSync(dir, { recursive: true, force: true });
    },
  };
}
