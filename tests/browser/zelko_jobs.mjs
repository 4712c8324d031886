// Calls onUrl with each data:text/zlk address that Zelko's page script loads
// in the pages of a playwright browser context. The script's frame is removed
// at once and Playwright does not report data: URLs, so the address is taken
// where the script sets it.
export async function catchZelkoJobs(context, onUrl) {
  await context.exposeFunction('__zelkoJob', onUrl);
  await context.addInitScript(() => {
    const own = Object.getOwnPropertyDescriptor(HTMLIFrameElement.prototype, 'src');
    Object.defineProperty(HTMLIFrameElement.prototype, 'src', {
      configurable: true,
      get() { return own.get.call(this); },
      set(value) {
        if (String(value).startsWith('data:text/zlk')) window.__zelkoJob(String(value));
        else own.set.call(this, value);
      },
    });
  });
}

// Calls onUrl with each data:text/zlk address whose load the browser starts
// in the page or its frames: the script's own frame, appended and removed at
// once, really loads it. Playwright reports no data: URLs; the DevTools
// protocol does. A sandboxed frame is seen only when it stays in its page's
// process (launch Chromium with --disable-features=IsolateSandboxedIframes).
export async function catchLoadedZelkoJobs(page, onUrl) {
  const devtools = await page.context().newCDPSession(page);
  devtools.on('Network.requestWillBeSent', ({ request }) => {
    if (request.url.startsWith('data:text/zlk')) onUrl(request.url);
  });
  await devtools.send('Network.enable');
}
