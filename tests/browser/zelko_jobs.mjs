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
