// The walk of the whole console (support/console_walk.mjs) on a seeded SQLite site.
import { test } from 'node:test';

import { WALK_TIMEOUT, walkConsole } from './support/console_walk.mjs';
import { startSite } from './support/site.mjs';

test('walks every console page, link and form of a seeded site', { timeout: WALK_TIMEOUT }, (t) =>
  walkConsole(t, startSite));
