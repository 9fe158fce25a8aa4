// The walk of the whole console (support/console_walk.mjs) on a seeded site whose rows are on the
// private PostgreSQL cluster that ./test.sh starts; skipped without the cluster.
import { test } from 'node:test';

import { WALK_TIMEOUT, walkConsole } from './support/console_walk.mjs';
import { postgresSkipReason, startSite } from './support/site.mjs';

test(
  'walks every console page, link and form of a seeded site on PostgreSQL',
  { timeout: WALK_TIMEOUT, skip: postgresSkipReason() },
  (t) => walkConsole(t, () => startSite({ postgres: true })),
);
