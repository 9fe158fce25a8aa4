// The console's door and frame set as the browser tests reach them: the sign-in form, the named
// frames of the frame set, and the menu's groups and items.

// The named frame of the frame set once it has loaded a document.
export async function frameNamed(page, name) {
  const end = Date.now() + 15000;
  for (;;) {
    const frame = page.frame({ name });
    if (frame) {
      await frame.waitForLoadState('load');
      return frame;
    }
    if (Date.now() > end) throw new Error(`no frame named ${name} at ${page.url()}`);
    await page.waitForTimeout(50);
  }
}

// Fills the door's form (in the page or frame showing it) and clicks its button.
export async function fillAndSignIn(frame, name, password) {
  await frame.fill('#usercode', name);
  await frame.fill('form[name=loginform] input[name=password]', password);
  await frame.click('img[src="admin/admin_login_button.gif"]');
}

// Signs in at the door the page shows and waits for the frame set with its main page; answers
// the menu and work frames.
export async function signIn(page, name, password) {
  await fillAndSignIn(page, name, password);
  await page.waitForURL(/admin\.asp\?m=admin_index$/);
  const menu = await frameNamed(page, 'frame_left');
  const center = await frameNamed(page, 'center');
  await center.getByText('当前位置：系统主页面').waitFor();
  return { menu, center };
}

// Opens the site's console door and signs in as its administrator.
export async function signInAsAdmin(page, site) {
  await page.goto(site.console);
  return signIn(page, site.adminName, site.adminPassword);
}

// Opens the menu group whose head reads the title and clicks the item.
export async function clickMenuItem(menu, group, item) {
  await menu.locator('th', { hasText: `≡ ${group} ≡` }).click();
  await menu.getByRole('link', { name: item, exact: true }).click();
}
